#!/usr/bin/env bash
# Builds the Qt front end with optimisation and runs the image-list benchmark for each row
# count, under the offscreen platform.
#   bash bench/ui/list_view_bench.sh [ROWS...]      (default: 1000 10000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${LUMAR_UI_BENCH_BUILD:-$root/build-ui-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_BUILD_UI=ON -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target list_view_bench -j2 >/dev/null
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(1000 10000)
for n in "${counts[@]}"; do QT_QPA_PLATFORM=offscreen "$build/bench/list_view_bench" "$n"; echo; done
