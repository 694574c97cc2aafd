#!/usr/bin/env bash
# Pictures of the extraction dialogs (destination, result, show extracted files) under Xvfb
# with a window manager, so their title bars show: scripts/dialog-screenshots.sh OUTDIR
# (SHOTS_PROGRAM=editor_shots for the text editor)
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:?output folder}")
mkdir -p "$out"
shots=$(realpath "${BUILD_DIR:-build}/tests/${SHOTS_PROGRAM:-dialog_shots}")
export OUT="$out" SHOTS="$shots"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  env QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 "$SHOTS" "$OUT"
  status=$?
  kill $wm 2>/dev/null || true
  exit $status
'
