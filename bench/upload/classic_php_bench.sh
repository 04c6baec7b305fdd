#!/usr/bin/env bash
# A classic row's upload against its floor: lumar-cli upload of N JPEGs of 200 KiB with the
# built-in row 4 (its ConnectHost and Port pointed at PHP's built-in server, which runs the
# host's upload.php from bench/upload/php), against one curl process doing the same N
# multipart POSTs from a -K config, one connection per image on both sides. Interleaved runs;
# prints the median of each side and the ratio, then system calls per image of both under
# strace -c. Also with the settings folder in RAM and without a history, to tell Lumar's
# bookkeeping from its transport. Needs php-cli (scripts/setup.sh installs it).
#   bash bench/upload/classic_php_bench.sh [N] [RUNS]      (defaults 100 and 7)
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
count=${1:-100}
runs=${2:-7}
command -v php >/dev/null || { echo "classic_php_bench: needs php (php-cli)" >&2; exit 1; }
cli=$(optimised_cli)

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
  [ -z "${shm:-}" ] || rm -rf "$shm"
}
trap cleanup EXIT

port=$("$python" -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
php -S "127.0.0.1:$port" -t bench/upload/php > "$work/php.log" 2>&1 &
pid=$!
for _ in $(seq 1 100); do
  curl -s -o /dev/null "http://127.0.0.1:$port/" && break
  sleep 0.05
done

make_padded_jpegs "$work/img" "$count" 200
mkdir -p "$work/cfg"
printf '[Hoster4]\nConnectHost=127.0.0.1\nPort=%s\n' "$port" > "$work/cfg/hosters.ini"
first=1
for f in "$work"/img/*.jpg; do
  [ $first = 1 ] || echo next
  first=0
  printf 'url = "http://127.0.0.1:%s/upload.php"\noutput = /dev/null\nsilent\n' "$port"
  printf 'header = "Connection: close"\n'
  for kv in max=1 vsnr=2940 ts=200 gal=no snr=2940 tos=yes; do printf 'form = "%s"\n' "$kv"; done
  printf 'form = "file[0]=@%s;type=image/jpeg"\n' "$f"
done > "$work/curl.cfg"

# The same run with the settings folder in memory (/dev/shm), and with a history that cannot
# be opened (a folder in its place: no hashing, no entries), which leaves the transport and
# the request to compare with curl; Lumar's own bookkeeping is what the three figures differ by.
mkdir -p "$work/nohistory/history.sqlite"
cp "$work/cfg/hosters.ini" "$work/nohistory/"
shm=""
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/lumar-bench.XXXXXX)
  cp "$work/cfg/hosters.ini" "$shm/"
fi
cfg=$work/cfg
lumar_upload() { "$cli" --config-dir "$cfg" upload --hoster 4 --no-center --timeout 60 "$work/img"; }
curl_upload() { curl -K "$work/curl.cfg"; }
curl_upload > /dev/null || { echo "curl -K failed" >&2; exit 1; }
lumar_upload > "$work/out" 2>&1 || { echo "lumar-cli upload failed:" >&2; cat "$work/out" >&2; exit 1; }
[ "$(grep -c 'IMG' "$work/out")" -ge 1 ] || { echo "no codes came back" >&2; exit 1; }

lumar_times=() curl_times=() memory_times=() bare_times=()
for _ in $(seq 1 "$runs"); do
  cfg=$work/cfg
  lumar_times+=("$(elapsed lumar_upload)")
  curl_times+=("$(elapsed curl_upload)")
  if [ -n "$shm" ]; then
    cfg=$shm
    memory_times+=("$(elapsed lumar_upload)")
  fi
  cfg=$work/nohistory
  bare_times+=("$(elapsed lumar_upload)")
done
cfg=$work/cfg
lumar=$(median "${lumar_times[@]}")
curl_=$(median "${curl_times[@]}")
bare=$(median "${bare_times[@]}")
echo "classic row 4, $count JPEGs of 200 KiB, PHP $(php -r 'echo PHP_VERSION;') built-in server on 127.0.0.1:$port, median of $runs interleaved runs, load average $(cut -d' ' -f1 /proc/loadavg)"
printf 'curl -K, one process:   %8.3f s\n' "$curl_"
printf 'lumar-cli upload:       %8.3f s  (%.3f x curl; target <= 1.05)\n' "$lumar" "$(echo "$lumar / $curl_" | bc -l)"
if [ -n "$shm" ]; then
  memory=$(median "${memory_times[@]}")
  printf '  settings in RAM:      %8.3f s  (%.3f x curl)\n' "$memory" "$(echo "$memory / $curl_" | bc -l)"
fi
printf '  without a history:    %8.3f s  (%.3f x curl)\n' "$bare" "$(echo "$bare / $curl_" | bc -l)"

if command -v strace >/dev/null; then
  per_image() {  # label command...: system calls per image, all threads
    strace -f -c -o "$work/strace" "${@:2}" >/dev/null 2>&1 || true
    local total opens
    total=$(awk '$NF == "total" {print $4}' "$work/strace")
    opens=$(awk '$NF == "openat" {print $4}' "$work/strace")
    printf '%-18s %6.1f system calls, %4.1f openat per image\n' "$1" \
      "$(echo "$total / $count" | bc -l)" "$(echo "${opens:-0} / $count" | bc -l)"
  }
  per_image "curl -K:" curl -K "$work/curl.cfg"
  per_image "lumar-cli upload:" "$cli" --config-dir "$work/cfg" upload --hoster 4 --no-center \
    --timeout 60 "$work/img"
  strace -f -qq -e trace=openat -o "$work/opens" "$cli" --config-dir "$work/cfg" upload --hoster 4 \
    --no-center --timeout 60 "$work/img" >/dev/null 2>&1 || true
  printf 'opens of one image by lumar-cli (the list and the run): %s\n' \
    "$(grep -c '/img/img001.jpg' "$work/opens")"
fi
