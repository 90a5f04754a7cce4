# Drives the setup windows on the X display with real input (sourced by the
# end-to-end scenarios, scripts/screenshots and the interactive demo).
# Windows are found by title; points are given from a window's top-left
# corner, in the pages' own layout. Needs DISPLAY and xdotool. UI_PACE
# (seconds) slows every click and key down for someone watching.

ui_window() {  # ui_window TITLE_REGEX -> id of the first visible window
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1
}
ui_wait_window() {  # ui_wait_window TITLE_REGEX [TENTHS]: true once it shows
    local tries="${2:-600}"
    for _ in $(seq 1 "$tries"); do [[ -n "$(ui_window "$1")" ]] && return 0; sleep 0.1; done
    return 1
}
ui_wait_gone() {  # ui_wait_gone TITLE_REGEX [TENTHS]: true once no such window shows
    local tries="${2:-600}"
    for _ in $(seq 1 "$tries"); do [[ -z "$(ui_window "$1")" ]] && return 0; sleep 0.1; done
    return 1
}
ui_geometry() {  # ui_geometry TITLE_REGEX -> "X Y WIDTH HEIGHT"
    local wid X Y WIDTH HEIGHT
    wid="$(ui_window "$1")"; [[ -n "$wid" ]] || return 1
    eval "$(xdotool getwindowgeometry --shell "$wid")"
    echo "$X $Y $WIDTH $HEIGHT"
}
ui_click() {  # ui_click TITLE_REGEX X Y: a click at that point of the window
    local g x y
    g="$(ui_geometry "$1")" || return 1
    read -r x y _ _ <<<"$g"
    xdotool mousemove $((x + $2)) $((y + $3)) sleep "${UI_PACE:-0}" sleep 0.15 click 1 sleep 0.15
}
ui_type() {  # ui_type TEXT: typed into the focused field
    sleep "${UI_PACE:-0}"
    xdotool type --delay 30 -- "$1"
}
ui_keys() {  # ui_keys KEY...: e.g. ctrl+a BackSpace
    sleep "${UI_PACE:-0}"
    xdotool key --delay 60 "$@"
}
ui_shot() {  # ui_shot FILE [TITLE_REGEX]: the screen, or one window with a margin
    local g x y w h
    if [[ -n "${2:-}" ]] && g="$(ui_geometry "$2")"; then
        read -r x y w h <<<"$g"
        x=$((x > 16 ? x - 16 : 0)); y=$((y > 16 ? y - 16 : 0))
        import -display "$DISPLAY" -window root -crop "$((w + 32))x$((h + 32))+$x+$y" +repage "$1" 2>/dev/null
    else
        import -display "$DISPLAY" -window root "$1" 2>/dev/null
    fi
    [[ -s "$1" ]] && echo "$1"
}

# The pages' layout (points from the window's top-left corner).
INSTALL_TITLE='^Larkspur'
DIALOG_TITLE='^Quayside Setup$'
INSTALL_BUTTON="307 298"
INSTALL_CUSTOM="537 372"
INSTALL_PATH="238 247"
INSTALL_AGREE="31 371"
INSTALL_CLOSE="579 18"
INSTALL_MIN="547 18"
INSTALL_PROTOCOL="263 372"
DIALOG_LEFT="222 185"
DIALOG_RIGHT="355 185"
DIALOG_CLOSE="419 18"
UNINSTALL_REASON1="43 105"
UNINSTALL_REASON2="43 131"
UNINSTALL_REASON3="43 157"
UNINSTALL_REASON4="310 105"
UNINSTALL_REASON5="310 131"
UNINSTALL_REASON6="310 157"
UNINSTALL_SUGGESTION="299 234"
UNINSTALL_OPTION="43 291"
UNINSTALL_BUTTON="371 337"
UNINSTALL_CANCEL="510 337"
NOTICE_CLOSE="209 160"

# A display of our own (an Xvfb on a free number), so that windows of other
# tests never meet ours; ended with ui_end_display. Sets DISPLAY.
ui_own_display() {  # ui_own_display LOGFILE
    local fifo number
    fifo="$(mktemp -u)"; mkfifo "$fifo"
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >"$1" 2>&1 </dev/null &
    UI_XVFB_PID=$!
    read -r -t 20 number <"$fifo"
    rm -f "$fifo"
    [[ -n "$number" ]] || return 1
    export DISPLAY=":$number"
}
ui_end_display() {
    [[ -n "${UI_XVFB_PID:-}" ]] && kill "$UI_XVFB_PID" 2>/dev/null
    UI_XVFB_PID=""
}
