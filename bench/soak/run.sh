#!/usr/bin/env bash
# Preview soak: the real program, under Xvfb, clicked CLICKS times round a folder of mixed
# previews (text, RTF, HTML, BMP, GIF, WAV, MIDI, MP3, ZIP, LZH, CAB), each click a real mouse
# click on the file list. Passes when nothing crashes, no message box comes up, no leak is
# reported and the resident memory after the last block of clicks is within 10 % of the
# memory after the first block.
#
#   MODE=heaptrack (default)  one run under heaptrack; the leaks heaptrack finds at exit whose
#                             allocation passed through the program's own code are counted
#   MODE=plain                no tool: memory figures only
#
# CLICKS (10000), BLOCK (1000), SETTLE_MS (15: the time each click is given to run) and
# KEEP=1 (keep the work folder with the logs and the heaptrack data) may be set.
set -euo pipefail
cd "$(dirname "$0")/../.."
MODE=${MODE:-heaptrack}
CLICKS=${CLICKS:-10000}
BLOCK=${BLOCK:-1000}
SETTLE_MS=${SETTLE_MS:-15}
BUILD_DIR=${BUILD_DIR:-build}
if [ ! -f "$BUILD_DIR/build.ninja" ]; then
  cmake -S . -B "$BUILD_DIR" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache >/dev/null
fi
cmake --build "$BUILD_DIR" -j2 --target soak_selection unzip32 cab32 unlha32 koramo_webengine \
  >/dev/null
bin=$(realpath "$BUILD_DIR/bin")
driver=$(realpath "$BUILD_DIR/bench/soak_selection")

work=$(mktemp -d)
if [ "${KEEP:-0}" = 1 ]; then echo "work folder: $work"; else trap 'rm -rf "$work"' EXIT; fi
mkdir -p "$work/program"
for lib in libunzip32.so libcab32.so libunlha32.so libkoramo_webengine.so; do
  ln -s "$bin/$lib" "$work/program/$lib"
done
python3 bench/soak/make_folder.py "$work/files"

export LC_ALL=C.UTF-8 LANG=C.UTF-8 QTWEBENGINE_DISABLE_SANDBOX=1 QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu
export KORAMO_AUDIO_SINK="fakesink sync=true" KORAMO_VIDEO_SINK="fakesink sync=true"
export XDG_RUNTIME_DIR=$work/runtime XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
mkdir -p -m 700 "$XDG_RUNTIME_DIR"
run=(xvfb-run -a -s "-screen 0 1280x1024x24")
args=("$work/program" "$work/files" "$CLICKS" "$BLOCK" "$SETTLE_MS")
start=$(date +%s)
status=0
case "$MODE" in
  heaptrack)
    "${run[@]}" heaptrack -o "$work/heap" "$driver" "${args[@]}" >"$work/log" 2>&1 || status=$?
    ;;
  plain)
    "${run[@]}" "$driver" "${args[@]}" >"$work/log" 2>&1 || status=$?
    ;;
  *) echo "unknown MODE $MODE" >&2; exit 2 ;;
esac
seconds=$(( $(date +%s) - start ))
grep -E '^(files|clicks|first_block|RESULT)' "$work/log" || true
echo "mode=$MODE exit=$status seconds=$seconds"

leaks=0
if [ "$MODE" = heaptrack ]; then
  data=$(ls "$work"/heap*.zst "$work"/heap*.gz 2>/dev/null | head -1 || true)
  heaptrack_print -n 1000000 --print-leaks 1 --print-peaks 0 --print-allocators 0 --print-temporary 0 \
    --merge-backtraces 0 -f "$data" >"$work/leaks.txt" \
    2>/dev/null || true
  grep -E '^(total memory leaked|peak RSS)' "$work/leaks.txt" || true
  echo "allocation sites with memory not freed at exit: $(grep -c ' leaked over ' "$work/leaks.txt" || true)"
  # A leak is ours when a frame of its allocation stack lies in our sources.
  leaks=$(python3 bench/soak/own_leaks.py "$work/leaks.txt" "$PWD/src")
  echo "leaks through the program's own code: $leaks"
fi
if [ "$status" -ne 0 ] || [ "$leaks" -ne 0 ]; then
  tail -20 "$work/log"
  echo "SOAK FAILED"
  exit 1
fi
echo "SOAK PASSED"
