#!/usr/bin/env bash
# The self-extracting stub on one large file: ZERO_MB of zeros followed by
# RANDOM_MB of random bytes, packed with the packer's default switches, then
# unpacked by sfx.exe under Wine. Prints the exit code, wall-clock time and
# peak resident memory of the run and whether the unpacked file is identical.
#   bench/sfx-large.sh [ZERO_MB [RANDOM_MB]]     (default 700 30)
# LARKSPUR_SFX=path/to/sfx.exe measures another stub (e.g. an older build).
# Needs about three times the file size in free space under TMPDIR.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/arch.env
source "$root/scripts/arch.env" || exit 1
build="${LARKSPUR_BUILD:-$root/$LARKSPUR_DEFAULT_BUILD_NAME}"
zero_mb="${1:-700}"
random_mb="${2:-30}"
cmake --build "$build" -j2 --target sfx_stub >/dev/null
stub="${LARKSPUR_SFX:-$build/sfx/sfx.exe}"
# The archive runs from inside the build, so that it uses the build's prefix.
scratch="$(mktemp -d "$build/sfx-large.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

mkdir -p "$scratch/product/data" "$scratch/out"
head -c "$((zero_mb << 20))" /dev/zero >"$scratch/product/data/big.bin"
head -c "$((random_mb << 20))" /dev/urandom >>"$scratch/product/data/big.bin"
echo small >"$scratch/product/small.txt"
expected="$(sha256sum <"$scratch/product/data/big.bin")"
start=$(date +%s.%N)
(cd "$scratch/product" && 7zz a -t7z -bso0 -bsp0 -mx=9 -ms=64m "$scratch/body.7z" .)
echo "packed $(stat -c %s "$scratch/product/data/big.bin") bytes into $(stat -c %s "$scratch/body.7z")" \
    "in $(echo "$(date +%s.%N) - $start" | bc) s ($(7zz l -slt "$scratch/body.7z" | grep -m1 '^Method = ' | cut -d' ' -f3))"
rm -rf "$scratch/product"
cat "$stub" "$scratch/body.7z" >"$scratch/body.exe"
rm "$scratch/body.7z"

cd "$scratch/out"
set +e
/usr/bin/time -f "%e s wall, %M KB peak resident" -o "$scratch/time" "$root/scripts/wine-run" "$scratch/body.exe"
rc=$?
set -e
echo "sfx.exe exit code $rc, $(cat "$scratch/time")"
if [[ -f data/big.bin ]] && [[ "$(sha256sum <data/big.bin)" == "$expected" ]] &&
   [[ "$(cat small.txt)" == small ]]; then
    echo "unpacked files identical"
else
    echo "unpacked files missing or different"
fi
