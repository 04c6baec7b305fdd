#!/usr/bin/env bash
# clang-tidy over every translation unit of src/ with the root's .clang-tidy; any finding fails.
# Needs a configured and built tree (the compile database, and the moc files the window code
# includes); the README's test command leaves one in build-asan.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-asan}
# The compile database is gcc's: flags clang does not know are not findings.
run-clang-tidy -p "$build" -j "$(nproc)" -quiet -extra-arg=-Wno-unknown-warning-option \
  "$PWD/src/" > "$build/tidy.log" 2>&1 || {
  sed 's/\x1b\[[0-9;]*m//g' "$build/tidy.log" | grep -E '^/.*: (error|warning):' | sort -u
  echo "tidy: findings above (whole output in $build/tidy.log)" >&2
  exit 1
}
echo "tidy: no findings"
