#!/bin/sh
# The UI packer: a good folder packs into the documented layout; input the
# engine could not serve is refused with a clear message and no output.
set -u
uipack="$1"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail=0

expect_refusal() {  # name, message fragment
    rm -f "$work/out.pkg"
    if "$uipack" "$work/src" "$work/out.pkg" 2>"$work/err"; then
        echo "FAIL $1: packed"; fail=1
    elif ! grep -q "$2" "$work/err"; then
        echo "FAIL $1: message was: $(cat "$work/err")"; fail=1
    elif [ -e "$work/out.pkg" ] || [ -e "$work/out.pkg.tmp" ]; then
        echo "FAIL $1: output left behind"; fail=1
    else
        echo "ok $1"
    fi
}

reset() { rm -rf "$work/src"; mkdir -p "$work/src/app/installer"; }

reset
printf 'A' > "$work/src/app/installer/Page.htm"
printf 'BB' > "$work/src/b.js"
if ! "$uipack" "$work/src" "$work/out.pkg" >/dev/null; then echo "FAIL good folder refused"; fail=1; fi
# Count 2, records sorted by name: "/app/installer/Page.htm" (23) + "A", "/b.js" (5) + "BB".
expected="02000000 24000000 17000000 3b000000 01000000 3c000000 05000000 41000000 02000000"
got=$(od -An -tx1 -v -N36 "$work/out.pkg" | tr -d ' \n' | sed 's/\(........\)/\1 /g; s/ $//')
if [ "$got" != "$expected" ]; then echo "FAIL layout: $got"; fail=1; else echo "ok layout"; fi
size=$(wc -c < "$work/out.pkg")
if [ "$size" -ne 67 ]; then echo "FAIL size $size"; fail=1; else echo "ok size"; fi

reset
printf 'x' > "$work/src/app/installer/caf$(printf '\303\251').htm"
expect_refusal non-ascii "not printable ASCII"

reset
printf 'x' > "$work/src/app/installer/Logo.png"
printf 'y' > "$work/src/app/installer/logo.PNG"
expect_refusal case-duplicate "differ only in letter case"

reset
: > "$work/src/app/installer/empty.js"
expect_refusal empty "empty file"

reset
printf 'x' > "$work/src/app/installer/back\\slash.htm"
expect_refusal backslash "backslash"

rm -rf "$work/src"; mkdir "$work/src"
expect_refusal no-files "no files"
if "$uipack" 2>"$work/err" || ! grep -q usage "$work/err"; then echo "FAIL usage"; fail=1; else echo "ok usage"; fi
exit $fail
