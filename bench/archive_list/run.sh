#!/usr/bin/env bash
# Listing a 10,000-member archive into the preview's member list against `bsdtar -tf` on the
# same archive (ZIP and LZH), median of RUNS runs. Target: at most 2x.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-7}
BUILD_DIR=${BUILD_DIR:-build-release} BUILD_TYPE=Release scripts/build.sh >/dev/null
bin=$(realpath "${BUILD_DIR:-build-release}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tree"
python3 - "$work/tree" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(10000):
    with open(os.path.join(d, "member%05d.txt" % i), "w") as f:
        f.write("x" * (i % 200))
PY
(cd "$work/tree" && zip -qr "$work/many.zip" .)
python3 - "$bin/bin" "$work" <<'PY'
import ctypes, sys
lib = ctypes.CDLL(sys.argv[1] + "/libunlha32.so")
out = ctypes.create_string_buffer(4096)
cmd = ('u -n "%s/many.lzh" "%s/tree/" *.*' % (sys.argv[2], sys.argv[2])).encode()
lib.Unlha(0, cmd, out, 4096)
PY
for kind in zip lzh; do
  archive="$work/many.$kind"
  [ -f "$archive" ] || { echo "  $kind: archive not made"; continue; }
  read -r ours rows < <("$bin/bench/list_archive" "$bin/bin" "$archive" "$RUNS")
  times=()
  for i in $(seq 1 "$RUNS"); do
    s=$(date +%s%N); bsdtar -tf "$archive" > /dev/null; e=$(date +%s%N)
    times+=("$(( (e - s) / 1000 ))")
  done
  peer=$(printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.1f", a[int((NR+1)/2)] / 1000}')
  echo "$kind, $rows members: ListView1 $ours ms, bsdtar -tf $peer ms, ratio $(awk -v a="$ours" -v b="$peer" 'BEGIN{printf "%.2f", a/b}') (target <= 2)"
done
