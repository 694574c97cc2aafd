#!/usr/bin/env bash
# Pictures of the program's dialogs under Xvfb with a window manager, so their title bars show:
# scripts/dialog-screenshots.sh OUTDIR. Each picture program below writes its PNGs into OUTDIR.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:?output folder}")
mkdir -p "$out"
build=$(realpath "${BUILD_DIR:-build}")
names="dialog_shots name_dialog_shots compress_shots search_shots editor_shots"
# The picture programs are no tests: a build of everything leaves them out.
# shellcheck disable=SC2086
cmake --build "$build" --target $names
programs=""
for name in $names; do
  programs="$programs $build/tests/$name"
done
export OUT="$out" PROGRAMS="$programs"
xvfb-run -a -s "-screen 0 1024x768x24 -dpi 96" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1
  status=0
  for program in $PROGRAMS; do
    env QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 "$program" "$OUT" || status=1
  done
  kill $wm 2>/dev/null || true
  exit $status
'
