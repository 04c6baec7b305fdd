#!/usr/bin/env bash
# Shrinking photos of 12 megapixels to 1600 px as an upload run does (libvips, in process)
# against ImageMagick's `convert -resize 1600x1600` (one process per photo, as a script would
# run it) on the same files in the same run. Needs ImageMagick (`convert`), which is not part
# of the build's packages. Prints figures; not part of the test run.
#   bash bench/imagelist/resize_bench.sh [COUNT]      (default: 100)
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
build=${LUMAR_BENCH_BUILD:-$root/build-bench}
count=${1:-100}
command -v convert >/dev/null || { echo "resize_bench: needs ImageMagick's convert" >&2; exit 1; }

cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
  -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --parallel 2 --target resize_bench | grep -E 'error|FAILED' && exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# One photo-like picture (a plasma with grain, which compresses like a photo), then a shifted
# copy per photo so no two files are alike.
convert -size 4000x3000 plasma:fractal -attenuate 0.3 +noise Gaussian -quality 92 "$work/base.jpg"
for i in $(seq 1 "$count"); do
  convert "$work/base.jpg" -roll "+$((i * 37))+$((i * 23))" -quality 92 "$work/photo$i.jpg"
done
rm "$work/base.jpg"
photos=("$work"/photo*.jpg)
echo "$count photos of 4000x3000, $(du -sh "$work" | cut -f1) in all"

# The machine's load changes while the benchmark runs: each side runs twice, in the order
# Lumar, the run, convert, convert, the run, Lumar, and its better run counts. "Lumar" makes the
# photos one after the other; "the run" hands them to the upload run's preparer, which makes
# them on its worker threads (at most two) as an upload does.
declare -A secs kbs
best() {  # best NAME [resize_bench args...]: keeps the better time and the highest peak
  local name=$1 s kb
  shift
  read -r s kb < <("$build/bench/resize_bench" "$@" 1600 "${photos[@]}")
  [ -z "${secs[$name]:-}" ] || [ "$(echo "$s < ${secs[$name]}" | bc -l)" = 1 ] && secs[$name]=$s
  [ "$kb" -gt "${kbs[$name]:-0}" ] && kbs[$name]=$kb
  return 0
}
magick() {
  local start end kb s
  start=$(date +%s.%N)
  for photo in "${photos[@]}"; do
    kb=$( { /usr/bin/time -f %M convert "$photo" -resize 1600x1600 "$photo.magick.jpg"; } 2>&1 )
    [ "$kb" -gt "${magick_kb:-0}" ] && magick_kb=$kb
  done
  end=$(date +%s.%N)
  s=$(echo "($end - $start) / $count" | bc -l)
  [ -z "$magick_s" ] || [ "$(echo "$s < $magick_s" | bc -l)" = 1 ] && magick_s=$s
  return 0
}
magick_s=""
best lumar; best run --run; magick; magick; best run --run; best lumar

row() { printf '%-34s %14.3f %16.1f\n' "$1" "$2" "$(echo "$3 / 1024" | bc -l)"; }
printf '%-34s %14s %16s\n' "" "s per photo" "peak memory (MB)"
row "libvips, one after the other" "${secs[lumar]}" "${kbs[lumar]}"
row "libvips, as the run prepares them" "${secs[run]}" "${kbs[run]}"
row "convert -resize 1600x1600" "$magick_s" "$magick_kb"
printf 'ratio one after the other: %.2f of convert'"'"'s time\n' "$(echo "${secs[lumar]} / $magick_s" | bc -l)"
printf 'ratio as the run prepares: %.2f of convert'"'"'s time\n' "$(echo "${secs[run]} / $magick_s" | bc -l)"
