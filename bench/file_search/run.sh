#!/usr/bin/env bash
# The file search over a generated tree of 100,000 files (100 folders of 1,000) for a name
# pattern, against `find FOLDER -name PATTERN` on the same tree, warm cache, in one run:
#   1. whole processes, median of RUNS runs each: search_files (the search the window runs,
#      printing every path as find does) against find;
#   2. the search window itself (offscreen): from the click on the start button until every
#      result is in its list, median of RUNS searches in one process.
# Target: at most 2x find.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-7}
BUILD_DIR=${BUILD_DIR:-build-release}
BUILD_DIR=$BUILD_DIR BUILD_TYPE=Release scripts/build.sh >/dev/null
bin=$(realpath "$BUILD_DIR")/bench
tree=$(mktemp -d)
trap 'rm -rf "$tree"' EXIT
python3 - "$tree" <<'PY'
import os, sys
root = sys.argv[1]
for d in range(100):
    folder = os.path.join(root, "d%02d" % (d // 10), "sub%02d" % d)
    os.makedirs(folder)
    for i in range(1000):
        ext = ("txt", "jpg", "lzh", "log")[i % 4]
        open(os.path.join(folder, "file%03d%03d.%s" % (d, i, ext)), "w").close()
PY

median_ms() { # command... : whole-process median of RUNS runs, output thrown away
  local times=() s e
  "$@" >/dev/null
  for _ in $(seq 1 "$RUNS"); do
    s=$(date +%s%N); "$@" >/dev/null; e=$(date +%s%N)
    times+=("$(( (e - s) / 1000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}'
}

echo "file search over 100,000 files, median of $RUNS runs (ms)"
for pattern in '*.txt' 'file?????7.*'; do
  ours_count=$("$bin/search_files" "$tree" "$pattern" | wc -l)
  find_count=$(find "$tree" -name "$pattern" | wc -l)
  [ "$ours_count" = "$find_count" ] || { echo "counts differ: $ours_count vs $find_count" >&2; exit 1; }
  ours=$(median_ms "$bin/search_files" "$tree" "$pattern")
  peer=$(median_ms find "$tree" -name "$pattern")
  read -r window shown < <("$bin/search_window" "$tree" "$pattern" "$RUNS")
  echo "pattern $pattern ($find_count found)"
  echo "  search_files (process)       $ours"
  echo "  find -name (process)         $peer"
  awk -v a="$ours" -v b="$peer" 'BEGIN { printf "  ratio = %.2f (target <= 2)\n", a / b }'
  echo "  search window, start to end  $window   ($shown listed)"
  awk -v a="$window" -v b="$peer" 'BEGIN { printf "  ratio = %.2f (target <= 2)\n", a / b }'
done
