# Shell helpers of the end-to-end runs, sourced by scripts/demo and
# tests/e2e/scenario: the check counter, a fresh Wine prefix of the build,
# registry and path look-ups, polling, and the survey listener.
# The sourcing script sets $root (the checkout); E2E_QUIET=1 hides passed checks.

failures=0
check() {  # check DESCRIPTION COMMAND...: counts a failing command
    local what="$1"; shift
    if "$@"; then
        [[ "${E2E_QUIET:-0}" == 1 ]] || echo "  ok    $what"
    else
        echo "  FAIL  $what"; failures=$((failures + 1))
    fi
}

fresh_prefix() {  # fresh_prefix BUILD PREFIX WINVER: a new prefix, HOME inside it
    rm -rf "$2" "$2.lock"
    mkdir -p "$2.home"
    export LARKSPUR_WINEPREFIX="$2" LARKSPUR_WINEVER="$3" LARKSPUR_WINEHOME="$2.home"
    export LARKSPUR_BUILD_DIR="$1"
}
prefix_env() {  # prefix_env BUILD: wine, reg and winepath reach the prefix (after DISPLAY is set)
    eval "$("$root/scripts/wine-run" --env "$1" | sed 's/^/export /')"
}
run() { "$root/scripts/wine-run" "$@"; }

reg_query() { wine reg query "$@" 2>/dev/null | tr -d '\r'; }
reg_value() {  # reg_value KEY NAME -> data
    reg_query "$1" /v "$2" | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
reg_absent() { ! wine reg query "$1" >/dev/null 2>&1; }
unix_path() { winepath -u "$1" 2>/dev/null | tr -d '\r'; }
win_path() { winepath -w "$1" 2>/dev/null | tr -d '\r'; }

wait_for() {  # wait_for TENTHS COMMAND...: true once the command is
    local tries="$1"; shift
    for _ in $(seq 1 "$tries"); do "$@" && return 0; sleep 0.1; done
    return 1
}

survey_port() {  # survey_port BUILD -> the port the build's engine posts to
    grep -E '^LARKSPUR_SURVEY_HOST' "$1/CMakeCache.txt" | sed 's/.*:\([0-9]*\)$/\1/'
}
start_survey_listener() {  # start_survey_listener BUILD LOG SECONDS; sets survey_pid
    rm -f "$2"
    python3 "$root/tests/e2e/survey-listener.py" "$(survey_port "$1")" "$2" "$3" &
    survey_pid=$!
}
