#!/usr/bin/env bash
# ZIP extraction against bsdtar and CAB extraction against cabextract, side by side in one
# run on a generated tree of about 200 MB of mixed compressible and incompressible files.
# Usage: bench/archiver_zipcab/bench.sh [BUILD_DIR]   (a release build: -DCMAKE_BUILD_TYPE=Release)
# SIZE_MB sets the size of the tree (200 by default).
set -euo pipefail

BUILD="${1:-build-release}"
BIN="$(cd "$BUILD/bin" && pwd)"
RUN="$(cd "$BUILD/bench" && pwd)/run_archiver"
ROUNDS="${ROUNDS:-3}"
WORK="$(mktemp -d "${TMPDIR:-/tmp}/koramo-bench-zipcab.XXXXXX")"
trap 'rm -rf "$WORK"' EXIT

for tool in bsdtar cabextract zip python3; do
  command -v "$tool" >/dev/null || { echo "missing: $tool" >&2; exit 1; }
done

echo "generating the tree in $WORK/tree ..."
python3 - "$WORK/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rnd = random.Random(1)
words = [bytes(rnd.choice(b'abcdefghijklmnopqrstuvwxyz') for _ in range(rnd.randint(2, 10)))
         for _ in range(5000)]
total = 0
n = 0
while total < int(os.environ.get("SIZE_MB", "200")) * 1024 * 1024:
    folder = os.path.join(root, 'd%02d' % (n % 40), 's%d' % (n % 7))
    os.makedirs(folder, exist_ok=True)
    kind = n % 4
    size = rnd.choice([2000, 20000, 200000, 1500000, 6000000])
    if kind == 0:   # incompressible
        data = os.urandom(size)
    elif kind == 1:  # text
        out = []
        length = 0
        while length < size:
            w = rnd.choice(words)
            out.append(w)
            length += len(w) + 1
        data = b' '.join(out)[:size]
    elif kind == 2:  # log-like lines
        data = b''.join(b'%08d INFO request %d served in %d ms\n' % (i, i * 7, i % 97)
                        for i in range(size // 40))
    else:            # half random, half zeros
        data = os.urandom(size // 2) + bytes(size - size // 2)
    with open(os.path.join(folder, 'f%05d.bin' % n), 'wb') as f:
        f.write(data)
    total += len(data)
    n += 1
print('%d files, %d bytes' % (n, total))
PY

echo "packing ..."
(cd "$WORK/tree" && zip -qr -6 "$WORK/t.zip" .)
"$RUN" "$BIN/libcab32.so" Cab "-a -r \"$WORK/t.cab\" \"$WORK/tree/\" *.*"
ls -l "$WORK/t.zip" "$WORK/t.cab" | awk '{print "  " $5 " bytes  " $9}'

# One run of a command into a fresh folder: "WALL CPU" seconds (CPU = user + system of the
# command and its children), so that the figures mean something on a busy machine too.
measure() {
  rm -rf "$WORK/out"; mkdir -p "$WORK/out"; sync
  python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], check=True, stdout=subprocess.DEVNULL)
wall = time.monotonic() - start
r = resource.getrusage(resource.RUSAGE_CHILDREN)
print('%.4f %.4f' % (wall, r.ru_utime + r.ru_stime))
PY
}

check_same() {
  if ! diff -rq "$WORK/tree" "$WORK/out" >/dev/null; then
    echo "output differs from the tree: $1" >&2; exit 1
  fi
}

# Ours and the peer take turns, ROUNDS times each; the best wall and CPU times are kept.
# Prints "OURS_WALL OURS_CPU PEER_WALL PEER_CPU".
duel() {
  local label="$1"; shift
  local -a ours peer
  local sep
  for ((sep = 1; sep <= $#; sep++)); do [ "${!sep}" = "--" ] && break; done
  ours=("${@:1:sep-1}")
  peer=("${@:sep+1}")
  local ow="" oc="" pw="" pc="" w c
  for ((i = 0; i < ROUNDS; i++)); do
    read -r w c < <(measure "${ours[@]}"); check_same "$label (ours)"
    ow=$(awk -v t="$w" -v b="$ow" 'BEGIN { print (b == "" || t < b) ? t : b }')
    oc=$(awk -v t="$c" -v b="$oc" 'BEGIN { print (b == "" || t < b) ? t : b }')
    read -r w c < <(measure "${peer[@]}"); check_same "$label (peer)"
    pw=$(awk -v t="$w" -v b="$pw" 'BEGIN { print (b == "" || t < b) ? t : b }')
    pc=$(awk -v t="$c" -v b="$pc" 'BEGIN { print (b == "" || t < b) ? t : b }')
  done
  echo "$ow $oc $pw $pc"
}

read -r zow zoc zpw zpc < <(duel "ZIP" \
  "$RUN" "$BIN/libunzip32.so" UnZip "-x -o --i \"$WORK/t.zip\" \"$WORK/out/\"" -- \
  bsdtar -xf "$WORK/t.zip" -C "$WORK/out")
read -r cow coc cpw cpc < <(duel "CAB" \
  "$RUN" "$BIN/libcab32.so" Cab "-x -r -o -i \"$WORK/t.cab\" \"$WORK/out/\"" -- \
  cabextract -q -d "$WORK/out" "$WORK/t.cab")

row() {
  awk -v n="$1" -v ow="$2" -v oc="$3" -v pw="$4" -v pc="$5" 'BEGIN {
    printf "%-20s %9.3f %9.3f %7.2fx %9.3f %9.3f %7.2fx   >=1.0x\n", n, ow, pw, pw / ow, oc, pc, pc / oc }'
}
printf '\n%-20s %9s %9s %8s %9s %9s %8s   %s\n' "extraction" "ours s" "peer s" "speed" \
  "ours cpu" "peer cpu" "speed" "target"
row "ZIP vs bsdtar" "$zow" "$zoc" "$zpw" "$zpc"
row "CAB vs cabextract" "$cow" "$coc" "$cpw" "$cpc"
echo "(speed = peer time / our time; best of $ROUNDS alternating runs each; cpu = user + system)"
