#!/usr/bin/env bash
# Uploads over TLS: lumar-cli upload of N JPEGs of 200 KiB with a standard row to a local HTTPS
# upload host, against one curl process doing the same N multipart POSTs (--next), one
# connection per image on both sides (curl with "Connection: close"), one image at a time (Lumar
# with --connections 1, no thumbnails of its own). The CA and the host's certificate are made
# at run time; the row names the host as bench.test and both clients are pointed at 127.0.0.1
# with --connect-to and trust the CA with their CA option. Prints the median of five interleaved
# runs of each and the ratio, then the same over plain HTTP. Lumar writes the
# upload totals to Lumar.ini after every image, which curl does not; Lumar is measured with the
# settings folder on disk, as users have it, again in memory (/dev/shm), and without a history
# (no hashing, no entries), which leaves the transport to compare.
#   bash bench/tls/run.sh [N]        (default 100)
# Builds an optimised build in build-bench (no sanitizers) first.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
count=${1:-100}
cli=$(optimised_cli)
server=$PWD/bench/tls/upload_server.py

work=$(mktemp -d)
shm=""
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null; wait "$p" 2>/dev/null || true; done
  rm -rf "$work"
  [ -n "$shm" ] && rm -rf "$shm"
}
trap cleanup EXIT

# A CA and a certificate for bench.test signed by it.
make_test_ca "$work" bench.test

start_server() {  # portfile [cert key]
  "$python" "$server" "$@" > /dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 1 100); do [ -s "$1" ] && break; sleep 0.05; done
  [ -s "$1" ] || { echo "the upload host did not start" >&2; exit 1; }
}
start_server "$work/tls.port" "$work/host.pem" "$work/host.key"
start_server "$work/plain.port"
tls_port=$(head -1 "$work/tls.port")
plain_port=$(head -1 "$work/plain.port")

# JPEGs of exactly 200 KiB: a sample picture padded after its end marker.
make_padded_jpegs "$work/img" "$count" 200

mkdir -p "$work/cfg"
printf '%s\n' "[Hoster8]" "Name=bench" "Request=standard" "UploadUrl=https://bench.test/upload" \
  "FileField=file" "URL={json:data.url}" "[Hoster9]" "Name=bench plain" "Request=standard" \
  "UploadUrl=http://bench.test/upload" "FileField=file" "URL={json:data.url}" > "$work/cfg/hosters.ini"
printf '[Bilder]\r\nWerbung=0\r\nProxy=direct\r\n' > "$work/cfg/Lumar.ini"
cfg=$work/cfg
# A history that cannot be opened (a folder in its place): no hashing, no entries.
mkdir -p "$work/nohistory/history.sqlite"
cp "$work/cfg/hosters.ini" "$work/cfg/Lumar.ini" "$work/nohistory/"
if [ -d /dev/shm ] && [ -w /dev/shm ]; then
  shm=$(mktemp -d /dev/shm/lumar-bench.XXXXXX)
  cp "$work/cfg/hosters.ini" "$work/cfg/Lumar.ini" "$shm/"
fi

lumar_upload() {  # row port
  "$cli" --config-dir "$cfg" upload --hoster "$1" --no-center --no-reuse --no-strip --no-own-thumbs \
    --connections 1 --timeout 60 \
    --ca-file "$work/ca.pem" --connect-to "bench.test:443:127.0.0.1:$2" \
    --connect-to "bench.test:80:127.0.0.1:$2" "$work/img"
}
curl_upload() {  # scheme port
  local args=() first=1 f default=443
  [ "$1" = http ] && default=80
  for f in "$work"/img/*.jpg; do
    [ $first = 1 ] || args+=(--next)
    first=0
    args+=(-s -o /dev/null --noproxy '*' --cacert "$work/ca.pem"
           --connect-to "bench.test:$default:127.0.0.1:$2" -H 'Connection: close'
           -F "file=@$f;type=image/jpeg" "$1://bench.test/upload")
  done
  curl "${args[@]}"
}


lumar_upload 8 "$tls_port" > /dev/null 2> "$work/check.log" ||
  { echo "lumar-cli upload over TLS failed:" >&2; cat "$work/check.log" >&2; exit 1; }

compare() {  # label row scheme port
  local lumar=() memory=() curls=() bare=()
  for _ in 1 2 3 4 5; do
    cfg=$work/cfg
    lumar+=("$(elapsed lumar_upload "$2" "$4")")
    curls+=("$(elapsed curl_upload "$3" "$4")")
    if [ -n "$shm" ]; then
      cfg=$shm
      memory+=("$(elapsed lumar_upload "$2" "$4")")
    fi
    cfg=$work/nohistory
    bare+=("$(elapsed lumar_upload "$2" "$4")")
  done
  cfg=$work/cfg
  lumar=$(median "${lumar[@]}")
  curl_time=$(median "${curls[@]}")
  bare=$(median "${bare[@]}")
  [ -z "$shm" ] || memory=$(median "${memory[@]}")
  printf '%-6s curl --next: %7.3f s   lumar-cli upload, settings on disk: %7.3f s (%.2f x curl)' \
    "$1" "$curl_time" "$lumar" "$(echo "$lumar / $curl_time" | bc -l)"
  [ -z "$shm" ] || printf ', in RAM: %7.3f s (%.2f x curl)' "$memory" "$(echo "$memory / $curl_time" | bc -l)"
  printf ', without a history: %7.3f s (%.2f x curl)' "$bare" "$(echo "$bare / $curl_time" | bc -l)"
  echo
}
echo "$count images of 200 KiB, one connection each (lumar-cli --connections 1), medians of 5 interleaved runs, load average $(cut -d' ' -f1 /proc/loadavg)"
compare TLS 8 https "$tls_port"
compare plain 9 http "$plain_port"
echo "target over TLS: lumar <= 1.05 x curl"
