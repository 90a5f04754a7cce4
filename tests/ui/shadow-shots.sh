#!/usr/bin/env bash
# Screenshots of a page window with its drop shadow over a light and a dark
# backdrop, on a display of its own: shadow-shots.sh BUILD_DIR OUT_DIR
# NAME.png is what Wine shows: without a compositing manager on the display
# it draws the layered window's pixels unblended (only fully transparent ones
# are cut out), so the soft band shows dark. NAME-composited.png blends the
# same layered bitmap over the backdrop as a compositing desktop does, with
# the window's own pixels on top.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
build="$(cd "$1" && pwd)"
out="$2"
mkdir -p "$out"
source "$root/tests/e2e/ui-driver.sh"
ui_own_display "$out/xvfb.log"
trap 'ui_end_display' EXIT
shot() {  # shot NAME R G B
    local bits="$out/$1.bgra" w h x y
    rm -f "$bits" "$bits.txt"
    "$root/scripts/wine-run" "$build/tests/ui/shadow_shot.exe" 6000 "$2" "$3" "$4" "Z:${bits//\//\\}" \
        >/dev/null 2>&1 &
    local pid=$!
    ui_wait_window 'Larkspur' 300
    sleep 2
    ui_shot "$out/$1.png" 'Larkspur'
    import -display "$DISPLAY" -window root "$out/$1-screen.png"
    wait "$pid" || true
    read -r w h x y < <(tr -d '\r' <"$bits.txt")
    # Premultiplied to straight alpha, blended over the backdrop, then the
    # window (inside the 9, 4, 9, 14 band) from the screen on top.
    convert -size "${w}x${h}" -depth 8 "bgra:$bits" -channel RGB -fx 'u.a > 0 ? u / u.a : 0' +channel "$out/$1-band.png"
    convert "$out/$1-screen.png" -crop "$((w - 18))x$((h - 18))+$((x + 9))+$((y + 4))" +repage "$out/$1-window.png"
    convert -size 1280x1024 "xc:rgb($2,$3,$4)" "$out/$1-band.png" -geometry "+$x+$y" -composite \
        "$out/$1-window.png" -geometry "+$((x + 9))+$((y + 4))" -composite \
        -crop "$((w + 14))x$((h + 14))+$((x - 7))+$((y - 7))" +repage "$out/$1-composited.png"
    rm -f "$bits" "$bits.txt" "$out/$1-band.png" "$out/$1-window.png" "$out/$1-screen.png"
    echo "$out/$1-composited.png"
}
shot light 238 242 247
shot dark 31 41 55
