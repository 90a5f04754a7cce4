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

# A 32-bit build on a machine that runs only 64-bit programs: the checker of
# an x86_64 build checks instead, and without one the command stops (exit 2)
# rather than starting a program that cannot run. The copy of the tree has no
# build-x64/ of its own.
tested="${LARKSPUR_BUILD_DIR:?the build under test}"
mkdir -p "$work/tree" "$work/build32/tools"
ln -s "$root/scripts" "$work/tree/scripts"
echo "LARKSPUR_ARCH:INTERNAL=i686" >"$work/build32/CMakeCache.txt"
echo "not a program" >"$work/build32/tools/checklists.exe"
only64() { env -u LARKSPUR_BUILD LARKSPUR_ARCH=x86_64 LARKSPUR_BUILD_DIR="$work/build32" "$@"; }
only64 "$work/tree/scripts/check-lists" "$root/setuplists/setup.ini" >"$work/no64.out" 2>"$work/no64.err"
check "32-bit build, no x86_64 build: exit 2" test $? -eq 2
check "32-bit build, no x86_64 build: says how to make one" \
    grep -q 'no x86_64 build to check with; make one with: LARKSPUR_ARCH=x86_64 scripts/build' "$work/no64.err"
check "32-bit build, no x86_64 build: nothing checked" test ! -s "$work/no64.out"
only64 LARKSPUR_BUILD="$tested" "$work/tree/scripts/check-lists" "$root/setuplists/setup.ini" \
    "$root/setuplists/uninst.ini" >"$work/with64.out" 2>"$work/with64.err"
status=$?
if grep -qx 'LARKSPUR_ARCH:INTERNAL=x86_64' "$tested/CMakeCache.txt"; then
    check "32-bit build, x86_64 build in LARKSPUR_BUILD: its checker checks" test $status -eq 0
    check "32-bit build, x86_64 build in LARKSPUR_BUILD: same findings" cmp -s "$work/clean.out" "$work/with64.out"
    check "32-bit build, x86_64 build in LARKSPUR_BUILD: says which checker" \
        grep -qF "checking with the checker of $tested" "$work/with64.err"
else
    check "32-bit build, LARKSPUR_BUILD also 32-bit: exit 2" test $status -eq 2
fi

[[ $failures -eq 0 ]] && { echo "check-lists: passed"; exit 0; }
echo "check-lists: $failures check(s) failed"; exit 1
