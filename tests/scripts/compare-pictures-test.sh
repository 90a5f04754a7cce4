#!/usr/bin/env bash
# scripts/compare-pictures: what a patch release of the drawing tool changes
# (anti-aliased edges) passes; a changed shape, colour, text or size fails.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
compare="$root/scripts/compare-pictures"
failures=0

draw() {  # draw FILE CONVERT-ARGS...
    local file="$1"; shift
    convert -size 120x80 xc:none "$@" -strip "PNG32:$work/$file"
}
expect() {  # expect match|differ DESCRIPTION A B
    local want="$1" what="$2" out rc
    out="$("$compare" "$work/$3" "$work/$4" 2>&1)"; rc=$?
    if [[ ($want == match && $rc -eq 0) || ($want == differ && $rc -eq 1) ]]; then
        echo "ok    $what"
    else
        echo "FAIL  $what (exit $rc): $out"; failures=$((failures + 1))
    fi
}

draw disc.png -fill '#2563eb' -draw 'circle 40,40 40,10' -fill white -draw 'roundrectangle 70,20 110,60 6,6'
# The same picture with every edge moved by a fraction of a pixel: only the
# blending of edge pixels changes.
draw disc-shifted.png -fill '#2563eb' -draw 'circle 40.4,40.3 40.4,10.3' -fill white -draw 'roundrectangle 70.3,20.4 110.3,60.4 6,6'
draw disc-colour.png -fill '#1e3a8a' -draw 'circle 40,40 40,10' -fill white -draw 'roundrectangle 70,20 110,60 6,6'
draw disc-near-colour.png -fill '#3b82f6' -draw 'circle 40,40 40,10' -fill white -draw 'roundrectangle 70,20 110,60 6,6'
draw disc-larger.png -fill '#2563eb' -draw 'circle 40,40 40,8' -fill white -draw 'roundrectangle 70,20 110,60 6,6'
draw disc-moved.png -fill '#2563eb' -draw 'circle 42,40 42,10' -fill white -draw 'roundrectangle 70,20 110,60 6,6'
convert -size 120x80 xc:none -fill '#2563eb' -draw 'circle 40,40 40,10' -strip "PNG32:$work/disc-wider.png"
convert -size 121x80 xc:none -fill '#2563eb' -draw 'circle 40,40 40,10' -fill white -draw 'roundrectangle 70,20 110,60 6,6' -strip "PNG32:$work/disc-size.png"
font=DejaVu-Sans-Bold
draw text.png -font "$font" -pointsize 18 -fill '#1e3a8a' -draw 'text 8,50 "Install"'
draw text-shifted.png -font "$font" -pointsize 18 -fill '#1e3a8a' -draw 'text 8.4,50.3 "Install"'
draw text-other.png -font "$font" -pointsize 18 -fill '#1e3a8a' -draw 'text 8,50 "Instal1"'

expect match "a picture matches itself" disc.png disc.png
expect match "edges moved by less than a pixel" disc.png disc-shifted.png
expect match "text moved by less than a pixel" text.png text-shifted.png
expect differ "another colour" disc.png disc-colour.png
expect differ "a nearby colour" disc.png disc-near-colour.png
expect differ "a shape two pixels larger" disc.png disc-larger.png
expect differ "a shape moved by two pixels" disc.png disc-moved.png
expect differ "a shape missing" disc.png disc-wider.png
expect differ "another size" disc.png disc-size.png
expect differ "one letter changed" text.png text-other.png

# Folders: the same names on both sides, each pair compared.
mkdir -p "$work/a" "$work/b"
cp "$work/disc.png" "$work/text.png" "$work/a/"
cp "$work/disc-shifted.png" "$work/b/disc.png"; cp "$work/text-shifted.png" "$work/b/text.png"
expect match "folders whose pictures match" a b
cp "$work/text-other.png" "$work/b/text.png"
expect differ "folders with one picture changed" a b
cp "$work/text.png" "$work/b/text.png"; cp "$work/disc.png" "$work/b/extra.png"
expect differ "a picture only in one folder" a b

echo "$failures failure(s)"
[[ $failures -eq 0 ]]
