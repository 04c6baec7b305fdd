#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 30) on its seed
# corpus. Fails on any crash, leak or sanitizer report.
#   bash scripts/fuzz.sh [SECONDS] [TARGET...]
# LUMAR_FUZZ_BUILD_DIR chooses the build folder (default build-fuzz); LUMAR_FUZZ_SKIP_BUILD=1
# runs what is built already, so several runs can share one build.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
shift || true
build=${LUMAR_FUZZ_BUILD_DIR:-build-fuzz}
if [ "${LUMAR_FUZZ_SKIP_BUILD:-0}" != 1 ]; then
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER=clang++ \
    -DLUMAR_FUZZ=ON -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build"
fi
targets=("$@")
if [ ${#targets[@]} -eq 0 ]; then
  for f in fuzz/*_fuzz.cpp; do n=$(basename "$f" _fuzz.cpp); targets+=("$n"); done
fi
status=0
for t in "${targets[@]}"; do
  corpus=$(mktemp -d)
  [ -d "fuzz/corpus/$t" ] && cp -r "fuzz/corpus/$t/." "$corpus/"
  echo "== fuzz_$t for ${seconds}s"
  if ! "$build/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 -artifact_prefix="$build/crash-$t-" \
      "$corpus" 2>"$build/fuzz_$t.log"; then
    echo "fuzz_$t FAILED: see $build/fuzz_$t.log"; tail -40 "$build/fuzz_$t.log"; status=1
  fi
  # The last status line carries the coverage; the stats the executions.
  grep -E 'cov:' "$build/fuzz_$t.log" | tail -1
  grep -E '^stat::(number_of_executed_units|average_exec_per_sec|peak_rss_mb)' "$build/fuzz_$t.log" || true
  rm -rf "$corpus"
done
exit $status
