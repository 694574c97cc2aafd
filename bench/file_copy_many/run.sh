#!/usr/bin/env bash
# Copying a tree of 100,000 small files (100 folders of 1,000, 0 to 8 KiB each, about 400 MB)
# through the program's shell against `cp -r` and against `cp -r` followed by `sync` (the
# program puts every file on the disk before it takes its name; cp leaves that to later), same
# tree, same file system, taking turns ROUNDS times. Prints each turn and the ratios, with the
# load beside them. Needs about 0.6 GB in TMPDIR per copy (three a round, and two more); FILES=N
# changes the number of files.
# BUILD_DIR (default build) is the build whose bench/shell_copy runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROUNDS=${ROUNDS:-3}
FILES=${FILES:-100000}
helper=$(realpath "${BUILD_DIR:-build}/bench/shell_copy")
work=$(mktemp -d "${TMPDIR:-/tmp}/koramo-copy-many.XXXXXX")
trap 'rm -rf "$work"' EXIT
python3 - "$work/tree" "$FILES" <<'PY'
import os, random, sys
root, count = sys.argv[1], int(sys.argv[2])
rng = random.Random(7)
for i in range(count):
    folder = os.path.join(root, "d%03d" % (i // 1000))
    if i % 1000 == 0:
        os.makedirs(folder)
    with open(os.path.join(folder, "f%06d.txt" % i), "wb") as f:
        f.write(rng.randbytes(rng.randrange(0, 8192)))
PY
export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
size=$(du -sm "$work/tree" | cut -f1)
ms() { local t0 t1; t0=$(date +%s%N); "$@"; t1=$(date +%s%N); echo $(( (t1 - t0) / 1000000 )); }
cp_sync() { cp -r "$1" "$2" && sync; }
# Every copy goes into a folder of its own and nothing is removed until the end: ext4 without
# a journal (this machine's disk) passes over inodes freed in the last seconds when it makes
# files, so a copy made right after a 100,000-file tree was removed took several times as long,
# whichever tool made it. Each copy starts with the disk idle (sync) and the order turns each
# round, so that neither tool always goes first.
mkdir "$work/out"
timed() { # TOOL ROUND: times one copy into a new folder; prints milliseconds
  local to="$work/out/$2-$1"
  mkdir "$to"; sync
  case $1 in
    ours) ms "$helper" "$work/tree" "$to" ;;
    cp) ms cp -r "$work/tree" "$to/" ;;
    cp_sync) ms cp_sync "$work/tree" "$to/" ;;
  esac
}
cp -r "$work/tree" "$work/out/warm"   # warms the cache
echo "copy of $FILES files (${size} MB), $ROUNDS rounds taking turns (ms)"
printf '  %-6s %9s %9s %9s %9s %11s  %s\n' round koramo cp cp+sync "ours/cp" "ours/cp+sync" load
for round in $(seq 1 "$ROUNDS"); do
  load=$(cut -d' ' -f1 /proc/loadavg)
  if [ $((round % 2)) -eq 1 ]; then
    o=$(timed ours "$round"); p=$(timed cp "$round"); s=$(timed cp_sync "$round")
  else
    s=$(timed cp_sync "$round"); p=$(timed cp "$round"); o=$(timed ours "$round")
  fi
  awk -v r="$round" -v o="$o" -v p="$p" -v s="$s" -v l="$load" 'BEGIN {
    printf "  %-6s %9d %9d %9d %9.2f %11.2f  %s\n", r, o, p, s, o / p, o / s, l }'
done
diff -r "$work/tree" "$work/out/1-ours/tree" >/dev/null || { echo "our copy differs from the source" >&2; exit 1; }
echo "  (speed ratio = 1 / time ratio; target: cp's speed at 0.95 or better)"
