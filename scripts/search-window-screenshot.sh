#!/usr/bin/env bash
# A picture of the file-search window after a search, under Xvfb with a window manager so
# that its title bar shows: scripts/search-window-screenshot.sh OUTDIR
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:?output folder}")
mkdir -p "$out"
# The picture program is no test: a build of everything leaves it out.
cmake --build "${BUILD_DIR:-build}" --target search_window_shot
shot=$(realpath "${BUILD_DIR:-build}/tests/search_window_shot")
export OUT="$out" SHOT="$shot"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  env QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 "$SHOT" "$OUT"
  status=$?
  kill $wm 2>/dev/null || true
  exit $status
'
