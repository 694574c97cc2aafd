#!/usr/bin/env bash
# Writing a ZIP archive of the bench tree (bench/archiver_lzh/make_tree.py, 200 MB) through
# libunzip32.so ("UnZip -a -r -6") against Info-ZIP `zip -r -6` on the same files, taking turns
# (ours, then the peer, RUNS times). Prints each run with the machine's load, the medians, and the
# ratios of time and of size; both archives are checked with `unzip -tq`. Time figures only mean
# something when the load stays below 1.5: the script says so when it does not.
#   bench/zip_write/run.sh [TREE_MB]        BUILD_DIR=build-release by default
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-3}
TREE_MB=${1:-200}
build=$(realpath "${BUILD_DIR:-build-release}")
run="$build/bench/run_archiver"
lib="$build/bin/libunzip32.so"
[ -x "$run" ] && [ -f "$lib" ] || { echo "build run_archiver and unzip32 in $build first" >&2; exit 1; }
work=$(mktemp -d "${TMPDIR:-/tmp}/koramo-bench-zipwrite.XXXXXX")
trap 'rm -rf "$work"' EXIT
tree=${TREE:-$work/tree}
[ -d "$tree" ] || python3 bench/archiver_lzh/make_tree.py "$tree" "$TREE_MB"
load() { cut -d' ' -f1 /proc/loadavg; }
median() { sort -n | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]}'; }
ms() { echo $(( ($2 - $1) / 1000000 )); }
ours=(); peer=(); highest=0
for i in $(seq 1 "$RUNS"); do
  rm -f "$work/ours.zip" "$work/peer.zip"
  l1=$(load); s=$(date +%s%N)
  "$run" "$lib" UnZip "-a -r -6 --i \"$work/ours.zip\" \"$tree/\" *.*"
  e=$(date +%s%N); ours+=("$(ms "$s" "$e")")
  l2=$(load); s=$(date +%s%N)
  (cd "$tree" && zip -q -r -6 "$work/peer.zip" .)
  e=$(date +%s%N); peer+=("$(ms "$s" "$e")")
  echo "run $i: ours ${ours[-1]} ms (load $l1), zip -r -6 ${peer[-1]} ms (load $l2)"
  highest=$(printf '%s\n%s\n%s\n' "$highest" "$l1" "$l2" | sort -g | tail -1)
done
LC_ALL=C.UTF-8 unzip -tq "$work/ours.zip" >/dev/null && echo "ours.zip: unzip -tq finds no error"
LC_ALL=C.UTF-8 unzip -tq "$work/peer.zip" >/dev/null
a=$(printf '%s\n' "${ours[@]}" | median); b=$(printf '%s\n' "${peer[@]}" | median)
size=$(stat -c %s "$work/ours.zip"); psize=$(stat -c %s "$work/peer.zip")
echo "tree ${TREE_MB} MB, level 6: ours $a ms, zip -r -6 $b ms; uptime: $(uptime)"
echo "speed $(awk -v a="$a" -v b="$b" 'BEGIN{printf "%.2f", b/a}')x zip (target >= 1); size ours $size bytes, zip $psize bytes, ratio $(awk -v s="$size" -v p="$psize" 'BEGIN{printf "%.4f", s/p}') (target <= 1.01)"
if awk -v h="$highest" 'BEGIN{exit !(h >= 1.5)}'; then
  echo "the load reached $highest (>= 1.5): the times above are rough, not a measurement"
fi
