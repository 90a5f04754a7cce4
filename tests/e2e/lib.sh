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

fresh_prefix() {  # fresh_prefix BUILD PREFIX WINVER [win32|win64]: a new prefix, HOME inside it
    rm -rf "$2" "$2.lock"
    mkdir -p "$2.home"
    export LARKSPUR_WINEPREFIX="$2" LARKSPUR_WINEVER="$3" LARKSPUR_WINEHOME="$2.home"
    export LARKSPUR_BUILD_DIR="$1" LARKSPUR_WINEARCH="${4:-win32}"
}
# 64-bit Windows runs the 32-bit programs beside 64-bit ones; a build of
# 64-bit programs, or a machine that runs no 32-bit program, cannot show that.
# Exits with 77, CTest's skip code, saying why.
need_wow64() {  # need_wow64 BUILD
    if grep -qx 'LARKSPUR_ARCH:INTERNAL=x86_64' "$1/CMakeCache.txt" 2>/dev/null; then
        echo "SKIP: a build of 64-bit programs has no 32-bit view of 64-bit Windows to check"; exit 77
    fi
    if ! larkspur_can_run_32bit; then
        echo "SKIP: this machine cannot run 32-bit programs (no 32-bit emulation in its kernel)"; exit 77
    fi
}
# A key the 32-bit programs wrote on 64-bit Windows: in the 32-bit view
# (WOW6432Node), not in the 64-bit one.
in_32bit_view() {  # in_32bit_view 'HKLM\SOFTWARE\...'
    local key="$1" below="${1#*\\SOFTWARE\\}"
    wine reg query "$key" /reg:32 >/dev/null 2>&1 && ! wine reg query "$key" /reg:64 >/dev/null 2>&1 &&
        wine reg query "HKLM\\SOFTWARE\\WOW6432Node\\$below" /reg:64 >/dev/null 2>&1
}
prefix_env() {  # prefix_env BUILD: wine, reg and winepath reach the prefix (after DISPLAY is set)
    eval "$("$root/scripts/wine-run" --env "$1" | sed 's/^/export /')"
}
run() { "$root/scripts/wine-run" "$@"; }

# The programs are 32-bit: every look-up is in the 32-bit registry view.
reg_query() { wine reg query "$@" /reg:32 2>/dev/null | tr -d '\r'; }
reg_value() {  # reg_value KEY NAME -> data
    reg_query "$1" /v "$2" | awk -v n="$2" '$1 == n { $1 = ""; $2 = ""; sub(/^ +/, ""); print }'
}
reg_absent() { ! wine reg query "$1" /reg:32 >/dev/null 2>&1; }
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
