#!/usr/bin/env bash
# Pictures of the main window maximised on a 1920x1080 screen, at scale 1 and 2, under Xvfb with
# a window manager: a folder six levels deep with long Japanese names is open and an LZH archive
# in it is listed in the preview (chosen in the file list with the mouse and the Home key):
# scripts/window-screenshots.sh OUTDIR  →  OUTDIR/window-1x.png, OUTDIR/window-2x.png
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:?output folder}")
mkdir -p "$out"
build=$(realpath "${BUILD_DIR:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

deep="$work/tree"
for part in 第一階層の長い名前のフォルダ 二番目の階層にある資料置き場 三番目のとても長い名前の作業用フォルダ \
  四番目 2026年度の報告書と添付資料 六番目の階層（最深部）の圧縮ファイル置き場; do
  deep="$deep/$part"
done
mkdir -p "$deep/src/長い名前のサブフォルダ"
printf 'テキスト\n' > "$deep/src/長い名前のサブフォルダ/説明書きのテキストファイル.txt"
printf 'readme\n' > "$deep/src/readme.txt"
printf '長い\n' > "$deep/src/とても長い名前の会議資料（第三版・最終確認済み）の本文.txt"
# Made by the program's own LZH library (level-2 headers), which stores Japanese names.
python3 - "$build/bin/libunlha32.so" "$deep/あ_圧縮された資料の一式.lzh" "$deep/src/" <<'PY'
import ctypes, sys
report = ctypes.create_string_buffer(4096)
line = 'u -n -o2 "%s" "%s" "*.*"' % (sys.argv[2], sys.argv[3])
if ctypes.CDLL(sys.argv[1]).Unlha(0, line.encode(), report, 4096) != 0:
    sys.exit(report.value.decode())
PY
rm -rf "$deep/src"

for scale in 1 2; do
  program="$work/program$scale"
  mkdir -p "$program"
  cp "$build"/bin/koramo "$program/"
  cp "$build"/bin/*.so "$program/" 2>/dev/null || true
  printf '[window]\r\nsize=1\r\n[hyouji]\r\nsaidai=2\r\nwidth=12000\r\nheight=9000\r\n' > "$program/exp.ini"
  export PROGRAM="$program" DEEP="$deep" SHOT="$out/window-${scale}x.png" SCALE="$scale"
  xvfb-run -a -s "-screen 0 1920x1080x24 -dpi 96" bash -c '
    openbox >/dev/null 2>&1 &
    wm=$!
    sleep 1
    env QT_QPA_PLATFORM=xcb QT_SCALE_FACTOR=$SCALE LC_ALL=C.UTF-8 "$PROGRAM/koramo" "$DEEP" &
    pid=$!
    sleep 5
    # A click into the file list (the lower part of the left column), then Home: the first
    # file, the archive, becomes current and is previewed.
    xdotool mousemove $((60 * SCALE)) 700 click 1
    sleep 1
    xdotool key Home
    sleep 3
    import -window root "$SHOT"
    kill -TERM $pid; wait $pid || true
    kill $wm 2>/dev/null || true
  '
  echo "$SHOT"
done
