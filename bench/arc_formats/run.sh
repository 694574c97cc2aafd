#!/usr/bin/env bash
# The read-only formats side by side with their peers in one run, on a generated tree of 10,000
# files (folders, Japanese names, text and random content):
#   listing a 7z (made by `7z a`) and a tar.xz (made by `tar -cJf`) into the member list as a
#   click on the archive does, against `bsdtar -tf` (target: at most 1.2x its time);
#   extracting the 7z against `7z x` and the tar.xz against `bsdtar -xf` (target: at least
#   0.95x their speed), every output compared with the tree.
# Ours and the peer take turns, ROUNDS times each; the medians are kept. Wall and CPU (user +
# system) are both printed: on a busy machine the CPU ratio is the one that holds. The load
# (`uptime`) is printed before and after.
#   bench/arc_formats/run.sh [BUILD_DIR]     (default build-release, a release build)
# FILES sets the number of files (10000), ROUNDS the rounds (5).
set -euo pipefail
cd "$(dirname "$0")/../.."
BUILD=$(realpath "${1:-build-release}")
BIN="$BUILD/bin"
LIST="$BUILD/bench/list_archive"
RUN="$BUILD/bench/run_archiver"
ROUNDS=${ROUNDS:-5}
FILES=${FILES:-10000}
export LC_ALL=C.UTF-8
for tool in 7z bsdtar tar xz python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done
for f in "$LIST" "$RUN" "$BIN/libunarc32.so"; do
  [ -e "$f" ] || { echo "missing: $f (build the targets list_archive, run_archiver, unarc32)" >&2; exit 1; }
done
WORK=$(mktemp -d "${TMPDIR:-/tmp}/koramo-bench-arc.XXXXXX")
# The extractions write into memory (tmpfs) when there is one: on a disk shared with other work,
# creating 10,000 files right after deleting as many costs the file system (ext4's search for
# a free inode) several times what the programs themselves spend, and that cost is the same
# for every program. OUT_DIR=FOLDER chooses another place.
OUT=$(mktemp -d "${OUT_DIR:-$([ -w /dev/shm ] && echo /dev/shm || echo "$WORK")}/koramo-bench-out.XXXXXX")
trap 'rm -rf "$WORK" "$OUT"' EXIT

python3 - "$WORK/tree" "$FILES" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rnd = random.Random(7)
words = ["".join(rnd.choice("abcdefghijklmnopqrstuvwxyz") for _ in range(rnd.randint(2, 9)))
         for _ in range(3000)]
japanese = ["資料", "議事録", "見積書", "写真", "ソース", "ﾃｽﾄ", "表計算", "請求書"]
for i in range(count):
    folder = os.path.join(root, "d%02d" % (i % 50), "sub%d" % (i % 3))
    os.makedirs(folder, exist_ok=True)
    if i % 5 == 0:
        name = "%s_%05d.txt" % (japanese[i % len(japanese)], i)
    elif i % 7 == 0:
        name = "-dash name %05d.dat" % i
    else:
        name = "file%05d.%s" % (i, ("txt", "log", "bin")[i % 3])
    size = rnd.choice([0, 100, 700, 2000, 5000, 12000])
    if i % 3 == 2:
        data = os.urandom(size)
    else:
        text = []
        n = 0
        while n < size:
            w = rnd.choice(words)
            text.append(w)
            n += len(w) + 1
        data = " ".join(text).encode()[:size]
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)
PY
(cd "$WORK/tree" && 7z a -bd -bso0 "$WORK/many.7z" . && tar -cJf "$WORK/many.tar.xz" .)
echo "tree: $FILES files, $(du -sm "$WORK/tree" | cut -f1) MB; $(stat -c %s "$WORK/many.7z") bytes 7z," \
     "$(stat -c %s "$WORK/many.tar.xz") bytes tar.xz"
echo "extracting into $OUT; load before: $(uptime)"

median() { sort -g | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }

# One run of a command: "WALL CPU" in milliseconds (CPU = user + system of it and its children,
# read from its own wait4 record: RUSAGE_CHILDREN would also count what the forked interpreter
# spends before the exec).
measure() {
  python3 - "$@" <<'PY'
import os, subprocess, sys, time
start = time.monotonic()
child = subprocess.Popen(sys.argv[1:], stdout=subprocess.DEVNULL)
_, status, r = os.wait4(child.pid, 0)
wall = time.monotonic() - start
if status != 0:
    sys.exit("failed: " + " ".join(sys.argv[1:]))
print('%.1f %.1f' % (wall * 1000, (r.ru_utime + r.ru_stime) * 1000))
PY
}

# Listing: list_archive prints "WALL ROWS CPU" of the listing itself (one run per round).
list_duel() {
  local archive=$1 ow=() oc=() pw=() pc=() w c rows
  for ((i = 0; i < ROUNDS; i++)); do
    read -r w rows c < <("$LIST" "$BIN" "$archive" 1 2>/dev/null)
    ow+=("$w"); oc+=("$c")
    read -r w c < <(measure bsdtar -tf "$archive")
    pw+=("$w"); pc+=("$c")
  done
  local peer_rows
  peer_rows=$(bsdtar -tf "$archive" | grep -vc '/$' || true)
  echo "$(printf '%s\n' "${ow[@]}" | median) $(printf '%s\n' "${oc[@]}" | median)" \
       "$(printf '%s\n' "${pw[@]}" | median) $(printf '%s\n' "${pc[@]}" | median) $rows $peer_rows"
}

check_same() {
  if ! diff -r "$WORK/tree" "$1" >/dev/null; then
    echo "output differs from the tree: $2" >&2; exit 1
  fi
}

# Extraction into a fresh folder each time; ours first, then the peer, ROUNDS times.
extract_duel() {
  local label=$1 ours_line=$2; shift 2
  local ow=() oc=() pw=() pc=() w c
  for ((i = 0; i < ROUNDS; i++)); do
    rm -rf "$OUT/out"; mkdir "$OUT/out"; sync
    read -r w c < <(measure "$RUN" "$BIN/libunarc32.so" UnArc "$ours_line")
    check_same "$OUT/out" "$label (ours)"; ow+=("$w"); oc+=("$c")
    rm -rf "$OUT/out"; mkdir "$OUT/out"; sync
    read -r w c < <(measure "$@")
    check_same "$OUT/out" "$label (peer)"; pw+=("$w"); pc+=("$c")
  done
  echo "$(printf '%s\n' "${ow[@]}" | median) $(printf '%s\n' "${oc[@]}" | median)" \
       "$(printf '%s\n' "${pw[@]}" | median) $(printf '%s\n' "${pc[@]}" | median)"
}

printf '\n%-26s %9s %9s %7s %9s %9s %7s  %s\n' "median of $ROUNDS (ms)" ours peer "wall x" \
  "ours cpu" "peer cpu" "cpu x" target
for kind in 7z tar.xz; do
  read -r ow oc pw pc rows peer_rows < <(list_duel "$WORK/many.$kind")
  awk -v n="list $kind ($rows rows)" -v ow="$ow" -v oc="$oc" -v pw="$pw" -v pc="$pc" 'BEGIN {
    printf "%-26s %9.1f %9.1f %6.2fx %9.1f %9.1f %6.2fx  time <= 1.2x bsdtar -tf\n", n, ow, pw, ow / pw, oc, pc, oc / pc }'
  [ "$rows" -ge "$FILES" ] || echo "  (only $rows rows listed; bsdtar names $peer_rows files)"
done
read -r ow oc pw pc < <(extract_duel "7z" "-x -o --i \"$WORK/many.7z\" \"$OUT/out/\"" \
  7z x -bd -bso0 -y -o"$OUT/out" "$WORK/many.7z")
awk -v ow="$ow" -v oc="$oc" -v pw="$pw" -v pc="$pc" 'BEGIN {
  printf "%-26s %9.1f %9.1f %6.2fx %9.1f %9.1f %6.2fx  speed >= 0.95x 7z x\n", "extract 7z", ow, pw, pw / ow, oc, pc, pc / oc }'
read -r ow oc pw pc < <(extract_duel "tar.xz" "-x -o --i \"$WORK/many.tar.xz\" \"$OUT/out/\"" \
  bsdtar -xf "$WORK/many.tar.xz" -C "$OUT/out")
awk -v ow="$ow" -v oc="$oc" -v pw="$pw" -v pc="$pc" 'BEGIN {
  printf "%-26s %9.1f %9.1f %6.2fx %9.1f %9.1f %6.2fx  speed >= 0.95x bsdtar -xf\n", "extract tar.xz", ow, pw, pw / ow, oc, pc, pc / oc }'
echo "(listing: our time / peer time; extraction: speed = peer time / our time)"
echo "load after: $(uptime)"
