#!/usr/bin/env bash
# Listing a folder of 100,000 files into the file list against `ls -f` on the same folder,
# taking turns ROUNDS times, median of RUNS runs each turn, warm cache. Prints the wall and the
# CPU times and their ratios (the CPU ratio holds on a busy machine). Target: at most 2x.
# BUILD_DIR=build bench/listing/run.sh uses an existing build instead of a release build.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-5}
ROUNDS=${ROUNDS:-3}
# SKIP_BUILD=1 measures the build as it is.
[ -n "${SKIP_BUILD:-}" ] || BUILD_DIR=${BUILD_DIR:-build-release} BUILD_TYPE=Release scripts/build.sh >/dev/null
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
echo "listing 100,000 files, median of $RUNS runs, $ROUNDS rounds taking turns (ms); load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-6s %12s %12s %12s %12s %8s %8s\n' round "File1 wall" "ls -f wall" "File1 cpu" "ls -f cpu" "wall x" "cpu x"
for round in $(seq 1 "$ROUNDS"); do
  read -r ours listed ours_cpu < <("$bin/bench/list_folder" "$folder" "$RUNS" 2>/dev/null)
  read -r peer peer_cpu < <(python3 bench/common/peer_times.py "$RUNS" ls -f "$folder")
  awk -v r="$round" -v a="$ours" -v b="$peer" -v c="$ours_cpu" -v d="$peer_cpu" 'BEGIN {
    printf "  %-6s %12.1f %12.1f %12.1f %12.1f %8.2f %8.2f\n", r, a, b, c, d, a / b, c / d }'
done
echo "  ($listed entries listed; target: ratio <= 2)"
