#!/bin/sh
# make-delay-lib.sh NM DLLTOOL MACHINE IMPORT_LIB DLL DEF_OUT LIB_OUT
# A delay-import library of every function mingw-w64's import library names.
set -eu
nm="$1"; dlltool="$2"; machine="$3"; implib="$4"; dll="$5"; def="$6"; lib="$7"
{
    echo "LIBRARY $dll"
    echo "EXPORTS"
    if [ "$machine" = "i386" ]; then
        # _Name@N: the DLL exports Name; dlltool -k maps the decorated name to it.
        "$nm" "$implib" | sed -n 's/^[0-9a-f]* T _\([A-Za-z0-9_]*@[0-9]*\)$/\1/p' | sort -u
    else
        "$nm" "$implib" | sed -n 's/^[0-9a-f]* T \([A-Za-z0-9_]*\)$/\1/p' | grep -v '^__' | sort -u
    fi
} > "$def"
rm -f "$lib"
if [ "$machine" = "i386" ]; then
    "$dlltool" -m "$machine" -k -d "$def" -D "$dll" -y "$lib"
else
    "$dlltool" -m "$machine" -d "$def" -D "$dll" -y "$lib"
fi
# mingw-w64's import library also carries objects of its own (GDI+'s cached
# generic font families): they join the delay-import library as they are.
ar="$(dirname "$dlltool")/$(basename "$dlltool" | sed 's/dlltool$/ar/')"
members="$("$ar" t "$implib" | grep -v '^lib[a-z0-9]*[sth][0-9]*\.o$' || true)"
if [ -n "$members" ]; then
    work="$(mktemp -d)"
    (cd "$work" && "$ar" x "$implib" $members)
    for member in $members; do "$ar" rs "$lib" "$work/$member"; done
    rm -rf "$work"
fi
