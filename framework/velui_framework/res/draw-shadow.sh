#!/usr/bin/env bash
# Draws the shadow picture (PNG resource 104) of the page windows: a soft
# dark band around a 30 x 30 window stand-in, 48 x 48 pixels, whose nine-grid
# margins are 9, 4, 9, 14 (the band is wider below, as light from above
# throws it). Needs ImageMagick. The output is committed; same input, same
# bytes (no time stamps stored).
set -euo pipefail
here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
# The stand-in sits 5 pixels lower than the window the grid's centre covers,
# so the band is 4 pixels above, 14 below and 9 at the sides.
convert -size 48x48 xc:none -fill 'rgba(24,24,24,0.62)' -draw 'rectangle 9,9 38,38' \
    -channel A -blur 0x3.4 +channel \
    -strip -define png:exclude-chunks=date,time "PNG32:$here/shadow.png"
