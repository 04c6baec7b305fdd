#!/usr/bin/env bash
# Adding a large folder tree to the list (lumar-cli list) against reading the first 4 KiB of
# every file with find + head over the same tree, warm cache; then the list operations on
# large lists. Prints figures; not part of the test run.
#   bash bench/imagelist/add_folder_bench.sh [COUNT...]      (default: 10000 20000)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${LUMAR_BENCH_BUILD:-$root/build-bench}
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(10000 20000)

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target lumar-cli make_tree list_ops_bench | grep -E 'error|FAILED' && exit 1
cli=$build/bin/lumar-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Best of three runs, in seconds.
best_of_three() {
  local best=""
  for _ in 1 2 3; do
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc -l)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
  done
  printf '%.3f' "$best"
}

read_heads() { find "$1" -type f -exec head -c 4096 {} + ; }

printf '%8s %12s %12s %8s %14s\n' files "list (s)" "head (s)" ratio "rows"
for n in "${counts[@]}"; do
  tree=$work/tree$n
  "$build/bench/make_tree" "$tree" "$n"
  rows=$("$cli" list "$tree" | wc -l)   # also warms the cache
  read_heads "$tree" >/dev/null
  t_list=$(best_of_three "$cli" list "$tree")
  t_head=$(best_of_three read_heads "$tree")
  printf '%8d %12s %12s %8.2f %14d\n' "$n" "$t_list" "$t_head" "$(echo "$t_list / $t_head" | bc -l)" "$rows"
  rm -rf "$tree"
done

echo
echo "list operations, 10000 rows:"
"$build/bench/list_ops_bench" 10000
echo
echo "list operations, 20000 rows:"
"$build/bench/list_ops_bench" 20000
