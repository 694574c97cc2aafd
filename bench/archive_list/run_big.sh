#!/usr/bin/env bash
# Listing a 100,000-member archive into the member list, through the program's own call path
# (the worker and the batches into the window), against `bsdtar -tf` on the same archive: a
# ZIP made by Info-ZIP `zip` and an LZH made by `jlha`, taking turns, median of RUNS (5) runs
# each. Prints our time, the window's longest stall meanwhile (a 5 ms timer on the window's
# thread), bsdtar's time and the ratio ours / bsdtar (target: at most 1, stall under 100 ms),
# with the load before and after.
#   bench/archive_list/run_big.sh [WORKDIR]
# Needs a build with archive_stall_bench and the archiver libraries (BUILD_DIR, default build).
set -euo pipefail
cd "$(dirname "$0")/../.."
WORK=${1:-/tmp/koramo-list-big}
RUNS=${RUNS:-5}
build=$(realpath "${BUILD_DIR:-build}")
bench="$build/bench/archive_stall_bench"
for tool in bsdtar jlha zip python3; do
  command -v "$tool" >/dev/null || { echo "bench: $tool is missing (scripts/install-deps.sh)" >&2; exit 1; }
done
[ -x "$bench" ] || { echo "bench: build archive_stall_bench, unzip32 and unlha32 in $build" >&2; exit 1; }
export QT_QPA_PLATFORM=offscreen
mkdir -p "$WORK"
if [ ! -d "$WORK/tree" ]; then
  python3 - "$WORK/tree.part" <<'PY'
import os, sys
root = sys.argv[1]
for i in range(100000):
    folder = os.path.join(root, "folder%03d" % (i % 500))
    os.makedirs(folder, exist_ok=True)
    with open(os.path.join(folder, "member%06d.txt" % i), "w") as f:
        f.write("x" * (i % 50))
PY
  mv "$WORK/tree.part" "$WORK/tree"
fi
# Info-ZIP reads the names from its input (the command line would be too long); jlha takes
# the 500 folders and walks them.
[ -f "$WORK/many.zip" ] || (cd "$WORK/tree" && find . -type f | sed 's|^\./||' | sort | zip -q "$WORK/many.zip" -@)
[ -f "$WORK/many.lzh" ] || (cd "$WORK/tree" && jlha aq "$WORK/many.lzh" folder*)

median() { sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)]}'; }
echo "load before: $(cut -d' ' -f1-3 /proc/loadavg)   cores: $(nproc)"
printf '%-5s %8s %9s %10s %10s %8s\n' kind rows "ours ms" "stall ms" "bsdtar ms" "ratio"
for kind in zip lzh; do
  archive="$WORK/many.$kind"
  ours=(); stalls=(); peer=(); rows=0
  for ((i = 0; i < RUNS; i++)); do
    out=$("$bench" list "$build/bin" "$archive" 2>/dev/null)
    rows=$(echo "$out" | awk '/^rows/ {print $2}')
    ours+=("$(echo "$out" | awk 'NR==1 {print $1}')"); stalls+=("$(echo "$out" | awk 'NR==1 {print $2}')")
    s=$(date +%s%N); bsdtar -tf "$archive" >/dev/null; e=$(date +%s%N)
    peer+=("$(awk -v a="$s" -v b="$e" 'BEGIN {printf "%.1f", (b - a) / 1e6}')")
  done
  want=$(bsdtar -tf "$archive" | wc -l)
  [ "$rows" = "$want" ] || { echo "bench: listed $rows rows of $kind, bsdtar $want" >&2; exit 1; }
  o=$(printf '%s\n' "${ours[@]}" | median); st=$(printf '%s\n' "${stalls[@]}" | sort -n | tail -1)
  p=$(printf '%s\n' "${peer[@]}" | median)
  awk -v k="$kind" -v n="$rows" -v o="$o" -v s="$st" -v p="$p" 'BEGIN {
    printf "%-5s %8d %9.1f %10.1f %10.1f %7.2fx\n", k, n, o, s, p, o / p }'
done
echo "load after:  $(cut -d' ' -f1-3 /proc/loadavg)"
echo "(medians of $RUNS turns; stall: the longest of them; target: ratio <= 1, stall < 100 ms)"
