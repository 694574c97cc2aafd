#!/usr/bin/env bash
# Draws the toolbar's own pictures (src/app/toolbar/NAME-SIZE.png) from their sources
# (src/app/toolbar/NAME.svg). The program shows them when the icon theme lacks the name.
# They are kept as PNG files so that no SVG image plugin is needed at run time.
set -euo pipefail
cd "$(dirname "$0")/../src/app/toolbar"
for svg in *.svg; do
  for size in 16 24 32 48; do
    rsvg-convert -w "$size" -h "$size" "$svg" -o "${svg%.svg}-$size.png"
  done
done
