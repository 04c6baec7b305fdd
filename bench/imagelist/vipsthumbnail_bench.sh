#!/usr/bin/env bash
# Shrinking grainy photos of 12 megapixels to 1600 px with metadata stripped, as an upload run
# does (libvips in process, the colour profile turned into sRGB pixels), against libvips' own
# command line tool on the same files: `vipsthumbnail FILES -s 1600x1600 --export-profile srgb
# -o %s_t.jpg[Q=85,strip]`, one process each. Both use the same library, so what Lumar needs
# above vipsthumbnail is overhead of its own. Whole-process wall times, the median of RUNS
# interleaved runs of each. Needs vips and vipsthumbnail (Debian: libvips-tools).
#   bash bench/imagelist/vipsthumbnail_bench.sh [COUNT] [RUNS]      (defaults 6 and 5)
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
root=$PWD
build=$root/${LUMAR_BENCH_BUILD_DIR:-build-bench}
count=${1:-6}
runs=${2:-5}
for tool in vips vipsthumbnail; do
  command -v $tool >/dev/null || { echo "vipsthumbnail_bench: needs $tool (libvips-tools)" >&2; exit 1; }
done
cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target resize_bench | grep -E 'error|FAILED' && exit 1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# Grain over a smooth gradient in each band: it compresses as badly as a photo at high ISO.
vips xyz "$work/xy.v" 4000 3000
vips extract_band "$work/xy.v" "$work/x.v" 0
for i in $(seq 1 "$count"); do
  for band in 0 1 2; do
    vips gaussnoise "$work/n$band.v" 4000 3000 --mean 0 --sigma 12 --seed $((i * 3 + band))
    vips linear "$work/x.v" "$work/g$band.v" "0.0$((band + 4))" $((40 + band * 30))
    vips add "$work/g$band.v" "$work/n$band.v" "$work/b$band.v"
  done
  vips bandjoin "$work/b0.v $work/b1.v $work/b2.v" "$work/rgb.v"
  vips cast "$work/rgb.v" "$work/u8.v" uchar
  vips copy "$work/u8.v" "$work/photo$i.jpg[Q=92]" --interpretation srgb
done
rm -f "$work"/*.v
photos=("$work"/photo*.jpg)
echo "$count photos of 4000x3000, $(du -sh "$work" | cut -f1) in all, $(nproc) cores, load average $(cut -d' ' -f1 /proc/loadavg)"

lumar() { "$build/bench/resize_bench" "$@" 1600 "${photos[@]}"; }
thumbnail() { vipsthumbnail "${photos[@]}" -s 1600x1600 --export-profile srgb -o '%s_t.jpg[Q=85,strip]'; }
one=() run=() tool=()
for _ in $(seq 1 "$runs"); do
  one+=("$(elapsed lumar)")
  tool+=("$(elapsed thumbnail)")
  run+=("$(elapsed lumar --run)")
done
t=$(median "${tool[@]}")
o=$(median "${one[@]}")
r=$(median "${run[@]}")
printf '%-44s %8.3f s\n' "vipsthumbnail, one process" "$t"
printf '%-44s %8.3f s  (%.3f x vipsthumbnail)\n' "Lumar, one after the other" "$o" "$(echo "$o / $t" | bc -l)"
printf '%-44s %8.3f s  (%.3f x vipsthumbnail; target <= 1.05)\n' "Lumar, as the run prepares them" "$r" \
  "$(echo "$r / $t" | bc -l)"
