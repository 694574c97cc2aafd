#!/usr/bin/env bash
# Start-up on a large folder: the program started on a folder of 100,000 files (FILES=N for
# another number), timed until its window shows the file list filled, against the sum of the
# bare start-up (the same program on a folder of 200 files) and the listing alone (the folder
# read into a shown file list in a running program, bench/listing). Taking turns RUNS times,
# warm cache, under one Xvfb; prints the medians, the ratio and the load.
# Target: the start on the large folder within 1.2x the sum.
set -euo pipefail
cd "$(dirname "$0")/../.."
RUNS=${RUNS:-9}
FILES=${FILES:-100000}
# SKIP_BUILD=1 measures the build as it is.
[ -n "${SKIP_BUILD:-}" ] || BUILD_DIR=${BUILD_DIR:-build-release} BUILD_TYPE=Release scripts/build.sh >/dev/null
bin=$(realpath "${BUILD_DIR:-build-release}")

work=$(mktemp -d)
trap 'rm -rf "$work"; [ -n "${xvfb:-}" ] && kill $xvfb 2>/dev/null || true' EXIT
mkdir -p "$work/program" "$work/home" "$work/small" "$work/large"
cp "$bin/bench/startup_listing" "$work/program/"
cp "$bin"/bin/*.so "$work/program/" 2>/dev/null || true
for i in $(seq 1 200); do echo "file $i" > "$work/small/file$i.txt"; done
python3 - "$work/large" "$FILES" <<'PY'
import os, sys
d = sys.argv[1]
for i in range(int(sys.argv[2])):
    open(os.path.join(d, "file%07d.%s" % (i, ("txt", "jpg", "lzh", "log")[i % 4])), "w").close()
PY
ls -f "$work/large" > /dev/null

display=:$((90 + RANDOM % 100))
Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
xvfb=$!
for _ in $(seq 1 50); do xdpyinfo -display "$display" >/dev/null 2>&1 && break; sleep 0.1; done
chmod 700 "$work/home"
export DISPLAY=$display HOME=$work/home XDG_CONFIG_HOME=$work/home/.config XDG_RUNTIME_DIR=$work/home
unset QT_QPA_PLATFORM

start() { "$work/program/startup_listing" --launch "$1"; }
listing() { QT_QPA_PLATFORM=offscreen "$bin/bench/list_folder" "$1" 1 2>/dev/null | cut -d' ' -f1; }
# One warm-up run each.
start "$work/large" >/dev/null; start "$work/small" >/dev/null; listing "$work/large" >/dev/null
full=(); bare=(); alone=(); loads=()
for i in $(seq 1 "$RUNS"); do
  loads+=("$(cut -d' ' -f1 /proc/loadavg)")
  full+=("$(start "$work/large")")
  bare+=("$(start "$work/small")")
  alone+=("$(listing "$work/large")")
done
median() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print (NR%2 ? a[(NR+1)/2] : (a[NR/2]+a[NR/2+1])/2)}'; }
mf=$(median "${full[@]}"); mb=$(median "${bare[@]}"); ml=$(median "${alone[@]}")
echo "start-up with the file list filled, $FILES files, median of $RUNS runs taking turns (ms); load at each turn: ${loads[*]}"
echo "  on the large folder     $mf   (all: ${full[*]})"
echo "  bare (200 files)        $mb   (all: ${bare[*]})"
echo "  the listing alone       $ml   (all: ${alone[*]})"
awk -v f="$mf" -v b="$mb" -v l="$ml" 'BEGIN { printf "  ratio large / (bare + listing) = %.2f (target <= 1.20)\n", f / (b + l) }'
