#!/usr/bin/env bash
# Upload throughput: lumar-cli upload of N JPEGs of 200 KiB against the local hoster emulator,
# compared with one curl process doing the same N multipart POSTs one after the other
# (--next). Prints the best of five interleaved runs of each, the ratio, and Lumar at 10 x N for
# linearity. Lumar writes the upload totals to Lumar.ini after every image (replaced, not flushed
# to disk); Lumar is measured with the settings folder on disk (beside the test files), as users
# have it, and once more in memory (/dev/shm), which shows what the settings writes still cost.
#   bash bench/upload/upload_bench.sh [N]        (default 100)
# Builds an optimised build in build-bench (no sanitizers) first.
set -euo pipefail
cd "$(dirname "$0")/../.."
count=${1:-100}
build=${LUMAR_BENCH_BUILD_DIR:-build-bench}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target lumar-cli lumar-demo-hoster | grep -E "error|FAILED" || true
cli=$PWD/$build/bin/lumar-cli
hoster=$PWD/$build/bin/lumar-demo-hoster

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
  [ -n "$shm" ] && rm -rf "$shm"
}
trap cleanup EXIT

# JPEGs of exactly 200 KiB: a sample picture padded after its end marker.
make_images() {  # folder count
  mkdir -p "$1"
  local base=samples/sunset.jpg
  local pad=$((200 * 1024 - $(stat -c %s "$base")))
  head -c "$pad" /dev/urandom > "$work/pad.bin"
  for i in $(seq -w 1 "$2"); do cat "$base" "$work/pad.bin" > "$1/img$i.jpg"; done
}

mkdir -p "$work/cfg"
"$hoster" --lifetime 3600 --hosters-ini "$work/cfg/hosters.ini" > "$work/port" 2>/dev/null &
pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
port=$(head -1 "$work/port")
[ -n "$port" ] || { echo "the hoster emulator did not start" >&2; exit 1; }

# shellcheck source=bench/timing.sh
source bench/timing.sh  # the working folder is the checkout's root here

shm=""
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/lumar-bench.XXXXXX)
  cp "$work/cfg/hosters.ini" "$shm/"
fi
cfg=$work/cfg
lumar_upload() {  # folder
  "$cli" --config-dir "$cfg" upload --hoster 4 --no-center --timeout 60 "$1"
}
curl_upload() {  # folder
  local args=() first=1 f
  for f in "$1"/*.jpg; do
    [ $first = 1 ] || args+=(--next)
    first=0
    args+=(-s -o /dev/null -F max=1 -F vsnr=2940 -F ts=200 -F gal=no -F snr=2940 -F tos=yes
           -F "file[0]=@$f;type=image/jpeg" "http://127.0.0.1:$port/upload.php")
  done
  curl "${args[@]}"
}

make_images "$work/small" "$count"
make_images "$work/large" $((count * 10))
lumar_upload "$work/small" >/dev/null 2>&1 || { echo "lumar-cli upload failed" >&2; exit 1; }

# Interleaved, best of five, so a burst of other load on the machine hits both alike.
lumar_small="" lumar_mem="" curl_small="" lumar_large=""
for _ in 1 2 3 4 5; do
  cfg=$work/cfg
  lumar_small=$(min "$lumar_small" "$(elapsed lumar_upload "$work/small")")
  curl_small=$(min "$curl_small" "$(elapsed curl_upload "$work/small")")
  if [ -n "$shm" ]; then
    cfg=$shm
    lumar_mem=$(min "$lumar_mem" "$(elapsed lumar_upload "$work/small")")
  fi
done
cfg=$work/cfg
curl_large=""
for _ in 1 2 3; do
  lumar_large=$(min "$lumar_large" "$(elapsed lumar_upload "$work/large")")
  curl_large=$(min "$curl_large" "$(elapsed curl_upload "$work/large")")
done
echo "images of 200 KiB, hoster emulator on 127.0.0.1:$port, load average $(cut -d' ' -f1 /proc/loadavg)"
printf 'curl --next,                       %5d images: %8.3f s\n' "$count" "$curl_small"
printf 'lumar-cli upload, settings on disk, %5d images: %8.3f s  (%.2f x curl; target <= 1.10)\n' "$count" \
  "$lumar_small" "$(echo "$lumar_small / $curl_small" | bc -l)"
if [ -n "$shm" ]; then
  printf 'lumar-cli upload, settings in RAM,  %5d images: %8.3f s  (%.2f x curl)\n' "$count" \
    "$lumar_mem" "$(echo "$lumar_mem / $curl_small" | bc -l)"
fi
printf 'lumar-cli upload, settings on disk, %5d images: %8.3f s  (%.2f x the %d-image run; linear = 10)\n' \
  $((count * 10)) "$lumar_large" "$(echo "$lumar_large / $lumar_small" | bc -l)" "$count"
printf 'curl --next,                       %5d images: %8.3f s  (%.2f x its %d-image run; lumar / curl %.2f)\n' \
  $((count * 10)) "$curl_large" "$(echo "$curl_large / $curl_small" | bc -l)" "$count" \
  "$(echo "$lumar_large / $curl_large" | bc -l)"
