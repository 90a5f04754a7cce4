#!/usr/bin/env bash
# First paint and frame cost of sciter32's engine on the demo page, under Wine.
#   bench/htmlengine.sh [frames]
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${LARKSPUR_BUILD:-$root/build}"
cmake --build "$build" -j2 --target htmlengine_bench htmlengine_tests >/dev/null
demo="$(cd "$build/tests/htmlengine/demo" && pwd)/demo.htm"
"$root/scripts/wine-run" "$build/bench/htmlengine_bench.exe" "Z:${demo//\//\\}" "${1:-200}"
