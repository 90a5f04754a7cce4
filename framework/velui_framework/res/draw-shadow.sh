#!/usr/bin/env bash
# Draws the shadow picture (PNG resource 104) of the page windows: a soft
# dark band around a window stand-in, 48 x 48 pixels, whose nine-grid margins
# are 9, 4, 9, 14 (the band is wider below, as light from above throws it).
# Needs ImageMagick. The output is committed; same input, same bytes (no time
# stamps stored). draw-shadow.sh [OUTPUT_FOLDER] (default: this folder).
set -euo pipefail
out="${1:-$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)}"
mkdir -p "$out"
# The stand-in reaches a pixel past the window the grid's centre covers
# (9, 4 to 39, 34) at the sides and sits lower, so the band is faint above,
# darkest below and even at the sides.
convert -size 48x48 xc:none -fill 'rgba(24,24,24,0.72)' -draw 'rectangle 8,8 39,39' \
    -channel A -blur 0x3.2 +channel \
    -strip -define png:exclude-chunks=date,time "PNG32:$out/shadow.png"
