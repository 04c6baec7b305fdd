#!/usr/bin/env bash
# Builds the Qt front end with optimisation and measures the gaps between two event-loop turns
# of the main window during upload runs, and the opening of the history window on a large
# history, under the offscreen platform. LUMAR_UI_BENCH_BUILD=build-release re-uses the Release
# build.
#   bash bench/ui/run_gaps.sh [SMALL_IMAGES [PHOTOS [HISTORY_ENTRIES]]]   (default: 100 20 100000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${LUMAR_UI_BENCH_BUILD:-$root/build-ui-bench}
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAR_BUILD_UI=ON -DLUMAR_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target run_gaps history_open -j2 >/dev/null
QT_QPA_PLATFORM=offscreen "$build/bench/run_gaps" "${1:-100}" "${2:-20}"
QT_QPA_PLATFORM=offscreen "$build/bench/history_open" "${3:-100000}"
