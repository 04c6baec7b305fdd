#!/usr/bin/env bash
# Builds the posting benchmark with optimisation and runs it for each row count.
#   bash bench/posting/posting_bench.sh [ROWS...]      (default: 10000 100000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${LUMAR_BENCH_BUILD:-$root/build-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target posting_bench -j2 >/dev/null
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(10000 100000)
for n in "${counts[@]}"; do "$build/bench/posting_bench" "$n"; echo; done
