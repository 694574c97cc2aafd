#!/usr/bin/env bash
# The folder tree opening a folder of 100,000 folders (FOLDERS=N for another number), in the
# real tree widget, shown, against `ls -f` reading the same folder, taking turns ROUNDS times,
# warm cache. Each step prints the time until its rows are shown and the window thread's longest
# stall meanwhile (target: under 100 ms); the steps that read the big folder print their time
# against `ls -f`'s (median of 5 runs) too. Steps: expand (opened under its parent), enter (one
# of its folders made current), grow and shrink (a folder made and removed there from outside),
# typed (a new tree given a path inside it), refresh (the tree read afresh).
# BUILD_DIR (default build) is the build whose bench/folder_tree_bench runs.
set -euo pipefail
cd "$(dirname "$0")/../.."
ROUNDS=${ROUNDS:-3}
FOLDERS=${FOLDERS:-100000}
bench=$(realpath "${BUILD_DIR:-build}")/bench/folder_tree_bench
work=$(mktemp -d "${TMPDIR:-/tmp}/koramo-folder-tree.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/side" "$work/zz"
python3 - "$work/big" "$FOLDERS" <<'PY'
import os, sys
root, count = sys.argv[1], int(sys.argv[2])
os.mkdir(root)
for i in range(count):
    os.mkdir(os.path.join(root, "folder %06d" % i))
PY
export QT_QPA_PLATFORM=${QT_QPA_PLATFORM:-offscreen} XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 700 "$work/runtime"
ls -f "$work/big" > /dev/null
echo "folder tree with $FOLDERS folders in one folder, $ROUNDS rounds taking turns"
printf '  %-6s %-8s %10s %10s %10s %8s  %s\n' round step "shown ms" "stall ms" "ls -f ms" "x ls -f" load
for round in $(seq 1 "$ROUNDS"); do
  load=$(cut -d' ' -f1-3 /proc/loadavg)
  out=$("$bench" "$work" big "$FOLDERS" 2>/dev/null)
  read -r peer _ < <(python3 bench/common/peer_times.py 5 ls -f "$work/big")
  echo "$out" | awk -v r="$round" -v p="$peer" -v l="$load" '{
    ratio = ($1 == "expand" || $1 == "typed" || $1 == "refresh") ? sprintf("%8.1f", $2 / p) : sprintf("%8s", "-")
    printf "  %-6s %-8s %10.1f %10.1f %10.1f %s  %s\n", r, $1, $2, $3, p, ratio, l }'
done
echo "  (target: every stall under 100 ms)"
