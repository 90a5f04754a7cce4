#!/usr/bin/env bash
# scripts/package on a product of 2,000 files and 200 MB against the
# archiver alone on the same files with the same switches: the difference is
# what packaging adds (scan, lists, engine copy, head archive, resources),
# in wall-clock and in CPU seconds.
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
# "wall cpu" seconds of a command and its children (CPU time is what the
# other jobs on a shared machine disturb least).
timed() {
    python3 - "$@" <<'PY'
import resource, subprocess, sys, time
start = time.monotonic()
subprocess.run(sys.argv[1:], stdout=subprocess.DEVNULL, check=True)
usage = resource.getrusage(resource.RUSAGE_CHILDREN)
print(f"{time.monotonic() - start:.2f} {usage.ru_utime + usage.ru_stime:.2f}")
PY
}
a_wall=(); a_cpu=(); p_wall=(); p_cpu=()
for _ in $(seq 1 "$runs"); do
    rm -f "$scratch/alone.7z"
    read -r w c < <(cd "$scratch/product" && timed 7zz a -t7z -bso0 -bsp0 -mx=9 -ms=64m "$scratch/alone.7z" .)
    a_wall+=("$w"); a_cpu+=("$c")
    read -r w c < <(timed python3 "$root/scripts/package" --build "$build" --product "$scratch/product" \
        --setup-ini "$scratch/setup.ini" --uninst-ini "$scratch/uninst.ini" --out "$scratch/setup.exe" --skip-check)
    p_wall+=("$w"); p_cpu+=("$c")
done
m() { printf '%s\n' "$@" | median; }
aw="$(m "${a_wall[@]}")"; ac="$(m "${a_cpu[@]}")"; pw="$(m "${p_wall[@]}")"; pc="$(m "${p_cpu[@]}")"
echo "archiver alone (median of $runs):  ${aw} s wall, ${ac} s CPU"
echo "scripts/package (median of $runs): ${pw} s wall, ${pc} s CPU"
echo "added by packaging: $(awk -v a="$aw" -v p="$pw" 'BEGIN { printf "%.2f", p - a }') s wall," \
    "$(awk -v a="$ac" -v p="$pc" 'BEGIN { printf "%.2f", p - a }') s CPU; setup.exe $(stat -c %s "$scratch/setup.exe") bytes"
