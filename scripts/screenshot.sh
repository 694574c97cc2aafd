#!/usr/bin/env bash
# Takes a screenshot of コラモ under Xvfb at a given screen size, the window filling the
# screen: scripts/screenshot.sh 1024x768 out.png [FOLDER]
set -euo pipefail
cd "$(dirname "$0")/.."
size=${1:?screen size like 1024x768}
out=$(realpath -m "${2:?output png}")
folder=${3:-/usr/share}
w=${size%x*}; h=${size#*x}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "${BUILD_DIR:-build}"/bin/koramo "$work/"
cp "${BUILD_DIR:-build}"/bin/*.so "$work/" 2>/dev/null || true
# The outer size in twips (15 twips a pixel at 96 DPI).
printf '[window]\r\nsize=1\r\n[hyouji]\r\nsaidai=0\r\nwidth=%d\r\nheight=%d\r\n' $((w * 15)) $((h * 15)) > "$work/exp.ini"
export WORK="$work" OUT="$out" FOLDER="$folder"
xvfb-run -a -s "-screen 0 ${size}x24 -dpi 96" bash -c '
  env -u QT_QPA_PLATFORM "$WORK/koramo" "$FOLDER" &
  pid=$!
  sleep 4
  import -window root "$OUT"
  kill -TERM $pid; wait $pid
'
echo "$out"
