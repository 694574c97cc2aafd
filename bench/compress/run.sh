#!/usr/bin/env bash
# The bench tree (bench/archiver_lzh/make_tree.py, 200 MB) packed through the compression
# dialog ("LZHで圧縮": the staging copy, then the library) against `jlha a` on the same files,
# in one run. Prints the medians of RUNS runs, the ratios of time and of size, and the staging
# copy's share of the dialog's time.
#   bench/compress/run.sh [TREE_MB]
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-3}
TREE_MB=${1:-200}
build=$(realpath "${BUILD_DIR:-build}")
bench="$build/bench/compress_bench"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QT_QPA_PLATFORM=offscreen
# TREE=FOLDER reuses a tree made earlier by make_tree.py.
tree=${TREE:-$work/tree}
[ -d "$tree" ] || python3 bench/archiver_lzh/make_tree.py "$tree" "$TREE_MB"
mapfile -t items < <(cd "$tree" && ls -A)
median() { sort -n | awk '{a[NR]=$1} END {printf "%.0f", a[int((NR+1)/2)]}'; }
copy=(); ours=(); peer=()
for i in $(seq 1 "$RUNS"); do
  rm -rf "$work/out" "$work/work"; mkdir -p "$work/out" "$work/work"
  paths=(); for n in "${items[@]}"; do paths+=("$tree/$n"); done
  read -r c p size < <("$bench" "$build/bin" "$work/work" "$work/out/ours.lzh" "${paths[@]}")
  copy+=("$c"); ours+=("$((c + p))")
  s=$(date +%s%N); (cd "$tree" && jlha a "$work/out/peer.lzh" "${items[@]}" >/dev/null); e=$(date +%s%N)
  peer+=("$(( (e - s) / 1000000 ))")
  psize=$(stat -c %s "$work/out/peer.lzh")
done
mkdir -p "$work/check"; (cd "$work/check" && lhasa xqf "$work/out/ours.lzh")
diff -r "$tree" "$work/check" >/dev/null && echo "ours.lzh extracts (lhasa) to the same tree"
a=$(printf '%s\n' "${ours[@]}" | median); b=$(printf '%s\n' "${peer[@]}" | median)
c=$(printf '%s\n' "${copy[@]}" | median)
echo "tree ${TREE_MB} MB: Form7 Command1 $a ms (staging copy $c ms, $(awk -v c="$c" -v a="$a" 'BEGIN{printf "%.0f", 100*c/a}')%), jlha a $b ms"
echo "speed $(awk -v a="$a" -v b="$b" 'BEGIN{printf "%.2f", b/a}')x jlha (target >= 2); size ours $size bytes, jlha $psize bytes, ratio $(awk -v s="$size" -v p="$psize" 'BEGIN{printf "%.3f", s/p}') (target <= 1)"
