#!/usr/bin/env bash
# Makes the PNG sizes of the icon from koramo.svg (run once after the drawing changes; the
# PNGs are committed so that a build needs no SVG renderer).
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
for size in 16 24 32 48 64 128 256; do
  out="$here/icons/${size}x${size}/koramo.png"
  mkdir -p "$(dirname "$out")"
  if command -v rsvg-convert >/dev/null; then
    rsvg-convert -w "$size" -h "$size" "$here/icons/koramo.svg" -o "$out"
  else
    convert -background none -density 384 "$here/icons/koramo.svg" -resize "${size}x${size}" "$out"
  fi
done
