#!/usr/bin/env bash
# Listing a 10,000-member archive into the preview's member list against `bsdtar -tf` on the
# same archive (ZIP, LZH and CAB), median of RUNS runs each. Prints the wall and the CPU times
# and their ratios (the CPU ratio holds on a busy machine). Target: at most 1.5x.
# BUILD_DIR=build bench/archive_list/run.sh uses an existing build instead of a release build.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-7}
# SKIP_BUILD=1 measures the build as it is.
[ -n "${SKIP_BUILD:-}" ] || BUILD_DIR=${BUILD_DIR:-build-release} BUILD_TYPE=Release scripts/build.sh >/dev/null
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
out = ctypes.create_string_buffer(4096)
lzh = ctypes.CDLL(sys.argv[1] + "/libunlha32.so")
lzh.Unlha(0, ('u -n "%s/many.lzh" "%s/tree/" *.*' % (sys.argv[2], sys.argv[2])).encode(), out, 4096)
cab = ctypes.CDLL(sys.argv[1] + "/libcab32.so")
cab.Cab(0, ('-a -r "%s/many.cab" "%s/tree/" *.*' % (sys.argv[2], sys.argv[2])).encode(), out, 4096)
PY
echo "listing 10,000 members, median of $RUNS runs (ms); load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-4s %7s %14s %14s %14s %14s %8s %8s\n' kind rows "ListView1 wall" "bsdtar wall" "ListView1 cpu" "bsdtar cpu" "wall x" "cpu x"
for kind in zip lzh cab; do
  archive="$work/many.$kind"
  [ -f "$archive" ] || { echo "  $kind: archive not made"; continue; }
  read -r ours rows ours_cpu < <("$bin/bench/list_archive" "$bin/bin" "$archive" "$RUNS" 2>/dev/null)
  read -r peer peer_cpu < <(python3 bench/common/peer_times.py "$RUNS" bsdtar -tf "$archive")
  awk -v k="$kind" -v n="$rows" -v a="$ours" -v b="$peer" -v c="$ours_cpu" -v d="$peer_cpu" 'BEGIN {
    printf "  %-4s %7d %14.1f %14.1f %14.1f %14.1f %8.2f %8.2f\n", k, n, a, b, c, d, a / b, c / d }'
done
echo "  (target: ratio <= 1.5)"
