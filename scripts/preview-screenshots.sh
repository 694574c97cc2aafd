#!/usr/bin/env bash
# Pictures of the main window on a 1280x800 screen under Xvfb with a window manager, showing in
# the preview a PDF (made by Ghostscript), a WebP picture (cwebp) and a Markdown file, each chosen
# in the file list with the mouse and the arrow keys:
# scripts/preview-screenshots.sh OUTDIR  →  OUTDIR/preview-markdown.png, -pdf.png, -webp.png
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:?output folder}")
mkdir -p "$out"
build=$(realpath "${BUILD_DIR:-build}")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

docs="$work/資料"
mkdir -p "$docs"
cat > "$docs/a_説明.md" <<'MD'
# コラモの説明

プレビューに **Markdown** を整えて表示します。

## できること

- PDF を一ページ目からすぐに表示
- WebP、TIFF、SVG の画像
- `元のテキスト` ボタンで元の文章に切り替え

| 種類 | 拡張子 |
|---|---|
| 文書 | .pdf |
| 画像 | .webp |
MD
cat > "$work/pages.ps" <<'PS'
%!PS
<< /PageSize [595 842] >> setpagedevice
1 1 30 { /n exch def
  /Helvetica-Bold findfont 40 scalefont setfont 72 740 moveto (Report page ) show n 3 string cvs show
  /Helvetica findfont 14 scalefont setfont
  0 1 20 { /i exch def 72 680 i 20 mul sub moveto (Lorem ipsum dolor sit amet, consectetur adipiscing elit.) show } for
  0.2 0.4 0.8 setrgbcolor newpath 72 120 moveto 450 0 rlineto 0 120 rlineto -450 0 rlineto closepath fill
  0 setgray showpage } for
PS
gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -sOutputFile="$docs/b_報告書.pdf" "$work/pages.ps"
convert logo: "$work/logo.png"
cwebp -quiet "$work/logo.png" -o "$docs/c_logo.webp"

program="$work/program"
mkdir -p "$program"
cp "$build"/bin/koramo "$program/"
cp "$build"/bin/*.so "$program/" 2>/dev/null || true
export PROGRAM="$program" DOCS="$docs" OUT="$out"
xvfb-run -a -s "-screen 0 1280x800x24 -dpi 96" bash -c '
  openbox >/dev/null 2>&1 &
  wm=$!
  sleep 1 # the window manager takes the screen before the program starts
  env QT_QPA_PLATFORM=xcb LC_ALL=C.UTF-8 "$PROGRAM/koramo" "$DOCS" &
  pid=$!
  sleep 5 # the program starts and lists the folder
  wid=$(xdotool search --sync --onlyvisible --pid $pid | head -1)
  xdotool windowsize $wid 1200 760 windowmove $wid 20 10
  sleep 1 # the window takes its new size
  # A click into the file list (the lower part of the left column), then Home: the first file.
  eval $(xdotool getwindowgeometry --shell $wid)
  xdotool mousemove $((X + 60)) $((Y + 520)) click 1
  sleep 1 # the click is handled
  xdotool key Home
  sleep 2 # the Markdown file is read and rendered
  import -window root "$OUT/preview-markdown.png"
  xdotool key Down
  sleep 3 # the PDF is opened and its first pages drawn
  import -window root "$OUT/preview-pdf.png"
  xdotool key Down
  sleep 2 # the picture is decoded
  import -window root "$OUT/preview-webp.png"
  kill -TERM $pid; wait $pid || true
  kill $wm 2>/dev/null || true
'
ls "$out"/preview-*.png
