#!/usr/bin/env bash
# Adding a large folder tree to the list (lumar-cli list) against its floor, reading the first
# 4 KiB of every file with find + head over the same tree, warm cache; both sides timed in
# turns in one run, the median of each printed. With strace there, the system calls per file
# of both. Then the list operations on large lists. Prints figures; not part of the test run.
#   bash bench/imagelist/add_folder_bench.sh [COUNT...]      (default: 10000 20000)
#   LUMAR_BENCH_BUILD=dir (default build-release), LUMAR_BENCH_RUNS=n (default 9)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${LUMAR_BENCH_BUILD:-$root/build-release}
runs=${LUMAR_BENCH_RUNS:-9}
counts=("$@")
[ ${#counts[@]} -eq 0 ] && counts=(10000 20000)

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMAR_BUILD_UI=OFF \
  -DLUMAR_BUILD_TESTS=ON "${launcher[@]}" >/dev/null
if cmake --build "$build" --target lumar-cli make_tree list_ops_bench | grep -E 'error|FAILED'; then
  exit 1
fi
cli=$build/bin/lumar-cli
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

seconds() {  # command...: its wall time
  local start end
  start=$(date +%s.%N)
  "$@" >/dev/null
  end=$(date +%s.%N)
  echo "$end - $start" | bc -l
}
median() { sort -g | awk '{ v[NR] = $1 } END { printf "%.3f", (v[int((NR + 1) / 2)] + v[int(NR / 2) + 1]) / 2 }'; }
# System calls per file of a command over `files` files, counted over all its processes.
calls_per_file() {  # files command...
  local files=$1
  shift
  strace -f -c -o "$work/strace" "$@" >/dev/null 2>&1
  awk -v n="$files" '$NF == "total" { printf "%.2f", $(NF - 2) / n }' "$work/strace"
}

read_heads() { find "$1" -type f -exec head -c 4096 {} +; }

printf '%8s %10s %10s %7s %9s %9s %8s\n' files "list (s)" "head (s)" ratio "list/f" "head/f" rows
for n in "${counts[@]}"; do
  tree=$work/tree$n
  "$build/bench/make_tree" "$tree" "$n"
  rows=$("$cli" list "$tree" | wc -l) # also warms the cache
  read_heads "$tree" >/dev/null
  : >"$work/list"
  : >"$work/head"
  for _ in $(seq "$runs"); do
    seconds "$cli" list "$tree" >>"$work/list"
    seconds read_heads "$tree" >>"$work/head"
  done
  t_list=$(median <"$work/list")
  t_head=$(median <"$work/head")
  list_calls=- head_calls=-
  if command -v strace >/dev/null; then
    list_calls=$(calls_per_file "$n" "$cli" list "$tree")
    head_calls=$(calls_per_file "$n" bash -c "find '$tree' -type f -exec head -c 4096 {} +")
  fi
  printf '%8d %10s %10s %7.2f %9s %9s %8d\n' "$n" "$t_list" "$t_head" \
    "$(echo "$t_list / $t_head" | bc -l)" "$list_calls" "$head_calls" "$rows"
  rm -rf "$tree"
done

echo
echo "list operations, 10000 rows:"
"$build/bench/list_ops_bench" 10000
echo
echo "list operations, 20000 rows:"
"$build/bench/list_ops_bench" 20000
