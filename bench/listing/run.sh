#!/usr/bin/env bash
# Listing a folder of 100,000 files into the file list against `ls -f` on the same folder,
# median of RUNS runs each, warm cache. Target: at most 3x.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-7}
BUILD_DIR=${BUILD_DIR:-build-release} BUILD_TYPE=Release scripts/build.sh >/dev/null
bin=$(realpath "${BUILD_DIR:-build-release}")
folder=$(mktemp -d)
trap 'rm -rf "$folder"' EXIT
python3 - "$folder" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(100000):
    open(os.path.join(d, "file%06d.%s" % (i, ("txt", "jpg", "lzh", "log")[i % 4])), "w").close()
PY
ls -f "$folder" > /dev/null
read -r ours listed < <("$bin/bench/list_folder" "$folder" "$RUNS")
times=()
for i in $(seq 1 "$RUNS"); do
  s=$(date +%s%N); ls -f "$folder" > /dev/null; e=$(date +%s%N)
  times+=("$(( (e - s) / 1000 ))")
done
peer=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}')
echo "listing 100,000 files, median of $RUNS runs (ms)"
echo "  File1 (koramo)  $ours   ($listed entries)"
echo "  ls -f           $peer"
awk -v a="$ours" -v b="$peer" 'BEGIN { printf "  ratio = %.2f (target <= 3)\n", a / b }'
