#!/usr/bin/env bash
# scripts/package on a product of 2,000 files and 200 MB against the
# archiver alone on the same files with the same switches: the difference is
# what packaging adds (scan, lists, engine copy, head archive, resources).
#   bench/package.sh [runs]      (default 3; medians are printed)
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/arch.env
source "$root/scripts/arch.env" || exit 1
build="${LARKSPUR_BUILD:-$root/$LARKSPUR_DEFAULT_BUILD_NAME}"
runs="${1:-3}"
cmake --build "$build" -j2 --target setup >/dev/null
scratch="$(mktemp -d "${TMPDIR:-/tmp}/package-bench.XXXXXX")"
trap 'rm -rf "$scratch"' EXIT

# 200 folders of 10 files, 100 KB each on average: a third random (already
# compressed, like pictures), the rest repetitive text and binaries.
python3 - "$scratch/product" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(17)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(3000)]
for d in range(200):
    folder = os.path.join(root, f"module{d // 20:02d}", f"part{d:03d}")
    os.makedirs(folder, exist_ok=True)
    for f in range(10):
        size = rng.randint(20_000, 180_000)
        if (d * 10 + f) % 3 == 0:
            data = os.urandom(size)
        else:
            data = b" ".join(rng.choice(words) for _ in range(size // 5))[:size]
        with open(os.path.join(folder, f"file{f}.dat"), "wb") as out:
            out.write(data)
PY
list='{"installs": [{"name": "Bench", "version": "1.0.0.1", "order": 1,
  "actions": [{"action": "@tree", "folder": "", "dst": "$PROGRAMDIR$\\Bench"}]}]}'
echo "$list" >"$scratch/setup.ini"; echo "$list" >"$scratch/uninst.ini"
echo "product: $(find "$scratch/product" -type f | wc -l) files, $(du -sm --apparent-size "$scratch/product" | cut -f1) MB"

median() { sort -n | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
seconds() { local start end; start=$(date +%s.%N); "$@" >/dev/null; end=$(date +%s.%N); awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f\n", b - a }'; }
archiver=(); packed=()
for _ in $(seq 1 "$runs"); do
    rm -f "$scratch/alone.7z"
    archiver+=("$(cd "$scratch/product" && seconds 7zz a -t7z -bso0 -bsp0 -mx=9 -ms=64m "$scratch/alone.7z" .)")
    packed+=("$(seconds python3 "$root/scripts/package" --build "$build" --product "$scratch/product" \
        --setup-ini "$scratch/setup.ini" --uninst-ini "$scratch/uninst.ini" --out "$scratch/setup.exe" --skip-check)")
done
a="$(printf '%s\n' "${archiver[@]}" | median)"; p="$(printf '%s\n' "${packed[@]}" | median)"
echo "archiver alone (median of $runs): $a s"
echo "scripts/package (median of $runs): $p s"
echo "added by packaging: $(awk -v a="$a" -v p="$p" 'BEGIN { printf "%.2f", p - a }') s; setup.exe $(stat -c %s "$scratch/setup.exe") bytes"
