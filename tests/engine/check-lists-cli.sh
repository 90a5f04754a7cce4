#!/usr/bin/env bash
# The command product teams and the packaging run: exit codes 0 / 1 / 2,
# findings on stdout, host paths with spaces, the plan.
set -uo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
cli="$root/scripts/check-lists"
work="$(mktemp -d)"; trap 'rm -rf "$work"' EXIT
failures=0
check() { local what="$1"; shift; if "$@"; then echo "  ok    $what"; else echo "  FAIL  $what"; failures=$((failures + 1)); fi; }

"$cli" "$root/setuplists/setup.ini" "$root/setuplists/uninst.ini" >"$work/clean.out"
check "shipped lists: exit 0" test $? -eq 0
check "shipped lists: no errors" grep -qx '0 error(s), 1 warning(s)' "$work/clean.out"

mkdir -p "$work/my product/Assembly/service"
sed 's/"mkdir", "dirname": "$PROGRAMDIR$\\\\service"/"mkdri", "dirname": "x"/' "$root/setuplists/setup.ini" >"$work/my product/setup.ini"
"$cli" --product "$work/my product" "$work/my product/setup.ini" >"$work/bad.out"
check "planted faults: exit 1" test $? -eq 1
check "unknown verb at its location" grep -q '^error: setup.ini: installs\[0\].actions\[2\]: verb "mkdri" is unknown' "$work/bad.out"
check "missing product folder at its location" \
    grep -q '^error: setup.ini: installs\[1\].actions\[3\].src: the product folder has no folder' "$work/bad.out"
check "no carriage returns in the output" test "$(grep -c $'\r' "$work/bad.out")" -eq 0

"$cli" >/dev/null 2>&1; check "no list: exit 2" test $? -eq 2
"$cli" --frobnicate "$root/setuplists/setup.ini" >/dev/null 2>&1; check "unknown option: exit 2" test $? -eq 2
"$cli" --plan "$root/setuplists/setup.ini" >/dev/null 2>&1; check "plan without --dir/--winver: exit 2" test $? -eq 2

"$cli" --plan --dir 'D:\Apps' --winver 10 "$root/setuplists/setup.ini" >"$work/plan.out"
check "plan: exit 0" test $? -eq 0
check "plan: Windows 10 takes the Windows 7 executor" grep -q 'executor InstallerForWin7;' "$work/plan.out"
check "plan: the application's folder from --dir" \
    grep -q 'mkdir -> MakeDir dirname="D:\\Apps\\Orbisoft\\Larkspur"' "$work/plan.out"

[[ $failures -eq 0 ]] && { echo "check-lists: passed"; exit 0; }
echo "check-lists: $failures check(s) failed"; exit 1
