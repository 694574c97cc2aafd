#!/usr/bin/env bash
# Copying a tree of 100,000 small files (100 folders of 1,000, 0 to 8 KiB each, about 400 MB)
# through the program's shell against `cp -r` and against `cp -r` followed by `sync` (the
# program puts every file on the disk before it takes its name; cp leaves that to later), same
# tree, same file system, taking turns ROUNDS times. Prints each turn and the ratios, with the
# load beside them. Needs about 1.3 GB in TMPDIR. FILES=N changes the number of files.
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
fresh() { rm -rf "$work/a" "$work/b" "$work/c"; mkdir "$work/a" "$work/b" "$work/c"; sync; }
fresh; cp -r "$work/tree" "$work/a/"; fresh   # warms the cache
echo "copy of $FILES files (${size} MB), $ROUNDS rounds taking turns (ms)"
printf '  %-6s %9s %9s %9s %9s %11s  %s\n' round koramo cp cp+sync "ours/cp" "ours/cp+sync" load
for round in $(seq 1 "$ROUNDS"); do
  load=$(cut -d' ' -f1 /proc/loadavg)
  fresh; o=$(ms "$helper" "$work/tree" "$work/b")
  diff -r "$work/tree" "$work/b/tree" >/dev/null || { echo "copy differs from the source" >&2; exit 1; }
  fresh; p=$(ms cp -r "$work/tree" "$work/a/")
  fresh; s=$(ms cp_sync "$work/tree" "$work/c/")
  awk -v r="$round" -v o="$o" -v p="$p" -v s="$s" -v l="$load" 'BEGIN {
    printf "  %-6s %9d %9d %9d %9.2f %11.2f  %s\n", r, o, p, s, o / p, o / s, l }'
done
echo "  (speed ratio = 1 / time ratio; target: cp's speed at 0.95 or better)"
