#!/usr/bin/env bash
# Listing a folder of 100,000 files (FILES=N for another number) into the file list, shown,
# against `ls -f` on the same folder, taking turns ROUNDS times, median of RUNS runs each turn,
# warm cache. Prints the wall and the CPU times and their ratios (the CPU ratio holds on a busy
# machine), the time of switching the mask to "*.txt", the longest the window did not answer,
# the resident memory with the list filled and its peak beside the budget (3 x the names' bytes
# + 50 MiB), and the load at each turn. Targets: 1.3x for 100,000 files, 1.5x for 1,000,000,
# the switch within 500 ms, no stall over 100 ms.
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
FILES=${FILES:-100000}
python3 - "$folder" "$FILES" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(int(sys.argv[2])):
    open(os.path.join(d, "file%07d.%s" % (i, ("txt", "jpg", "lzh", "log")[i % 4])), "w").close()
PY
ls -f "$folder" > /dev/null
names=$(ls -f "$folder" | awk '$0 != "." && $0 != ".." {n += length($0)} END {print n}')
echo "listing $FILES files ($names bytes of names), median of $RUNS runs, $ROUNDS rounds taking turns (ms); load: $(cut -d' ' -f1-3 /proc/loadavg)"
printf '  %-6s %11s %11s %11s %11s %7s %7s %9s %9s %8s %8s %5s\n' round "File1 wall" "ls -f wall" \
  "File1 cpu" "ls -f cpu" "wall x" "cpu x" "*.txt ms" "stall ms" "RSS MiB" "peak MiB" load
for round in $(seq 1 "$ROUNDS"); do
  load=$(cut -d' ' -f1 /proc/loadavg)
  read -r ours listed ours_cpu switch stall rss peak < <("$bin/bench/list_folder" "$folder" "$RUNS" 2>/dev/null)
  read -r peer peer_cpu < <(python3 bench/common/peer_times.py "$RUNS" ls -f "$folder")
  awk -v r="$round" -v a="$ours" -v b="$peer" -v c="$ours_cpu" -v d="$peer_cpu" -v s="$switch" \
    -v t="$stall" -v m="$rss" -v p="$peak" -v l="$load" 'BEGIN {
    printf "  %-6s %11.1f %11.1f %11.1f %11.1f %7.2f %7.2f %9.1f %9.1f %8.1f %8.1f %5s\n", r, a, b, c,
      d, a / b, c / d, s, t, m, p, l }'
done
echo "  ($listed entries listed; memory budget: 3 x names + 50 MiB = $(( names * 3 / 1048576 + 50 )) MiB)"
