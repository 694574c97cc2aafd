#!/usr/bin/env bash
# Installs what is needed, builds and starts コラモ. Arguments are passed on: the whole
# command line is the folder to open.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "コラモ needs a graphical display: no DISPLAY or WAYLAND_DISPLAY is set (try: xvfb-run -s '-screen 0 1024x768x24' scripts/run.sh)." >&2
  exit 1
fi
exec "${BUILD_DIR:-build}/bin/koramo" "$@"
