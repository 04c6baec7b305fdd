#!/usr/bin/env bash
# Builds the posting benchmark with optimisation and runs it for each row count.
#   bash bench/posting/posting_bench.sh [ROWS...]      (default: 10000 100000)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
g++ -std=c++20 -O2 -I "$root/src" "$root/bench/posting/posting_bench.cpp" "$root"/src/posting/*.cpp \
  "$root/src/imagelist/text_blocks.cpp" "$root/src/shell/settings_keys.cpp" "$root/src/shell/settings_store.cpp" \
  "$root/src/shell/text_codec.cpp" "$root/src/shell/file_io.cpp" "$root/src/shell/config_paths.cpp" \
  -o "$out/posting_bench"
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(10000 100000)
for n in "${counts[@]}"; do "$out/posting_bench" "$n"; echo; done
