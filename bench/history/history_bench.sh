#!/usr/bin/env bash
# Builds the history benchmark with optimisation and runs it.
#   bash bench/history/history_bench.sh [ENTRIES]      (default: 100000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${LUMAR_BENCH_BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target history_lookup -j2 >/dev/null
"$build/bench/history_lookup" "${1:-100000}"
