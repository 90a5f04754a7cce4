#!/usr/bin/env bash
# First paint and frame cost of sciter32's engine on the demo page, under Wine.
#   bench/htmlengine.sh [frames]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=scripts/arch.env
source "$root/scripts/arch.env" || exit 1
build="${LARKSPUR_BUILD:-$root/$LARKSPUR_DEFAULT_BUILD_NAME}"
cmake --build "$build" -j2 --target htmlengine_bench htmlengine_tests >/dev/null
demo="$(cd "$build/tests/htmlengine/demo" && pwd)/demo.htm"
"$root/scripts/wine-run" "$build/bench/htmlengine_bench.exe" "Z:${demo//\//\\}" "${1:-200}"
