#!/usr/bin/env bash
# Parallel uploads: lumar-cli upload of N JPEGs of 200 KiB with a standard row to a local host
# that takes 300 ms over every answer, with 4 connections, against curl --parallel
# --parallel-immediate --parallel-max 4 doing the same N multipart POSTs, and against Lumar with 1 connection.
# Prints the three wall times and the two ratios (targets: 4 connections <= 1.10 x curl and
# <= 0.30 x Lumar's own time with 1 connection).
#   bash bench/parallel/run.sh [N]        (default 100)
# Builds an optimised build in build-bench (no sanitizers) first.
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
count=${1:-100}
cli=$(optimised_cli)

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null || true; }
  rm -rf "$work"
}
trap cleanup EXIT

UPLOAD_DELAY_MS=300 "$python" bench/tls/upload_server.py "$work/port" > /dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { echo "the upload host did not start" >&2; exit 1; }
port=$(head -1 "$work/port")

# JPEGs of exactly 200 KiB: a sample picture padded after its end marker.
make_padded_jpegs "$work/img" "$count" 200

mkdir -p "$work/cfg"
printf '%s\n' "[Hoster8]" "Name=bench" "Request=standard" "UploadUrl=http://127.0.0.1:$port/upload" \
  "FileField=file" "URL={json:data.url}" "Connections=8" > "$work/cfg/hosters.ini"
printf '[Bilder]\r\nWerbung=0\r\nProxy=direct\r\nConnections=8\r\n' > "$work/cfg/Lumar.ini"

lumar_upload() {  # connections; --no-reuse: every run sends every image
  "$cli" --config-dir "$work/cfg" upload --hoster 8 --no-center --no-reuse --no-strip --no-own-thumbs --timeout 60 \
    --connections "$1" "$work/img"
}
curl_upload() {  # one transfer per image (--next), each with its own form
  local args=() first=1 f
  for f in "$work"/img/*.jpg; do
    [ $first = 1 ] || args+=(--next)
    first=0
    args+=(-s -o /dev/null -F "file=@$f;type=image/jpeg" "http://127.0.0.1:$port/upload")
  done
  # Without --parallel-immediate curl waits on its first connection in the hope of HTTP/2
  # multiplexing, and an HTTP/1.1 host then gets one transfer at a time.
  curl --noproxy '*' --parallel --parallel-immediate --parallel-max 4 "${args[@]}"
}


lumar_upload 4 > /dev/null 2> "$work/check.log" ||
  { echo "lumar-cli upload failed:" >&2; cat "$work/check.log" >&2; exit 1; }

four=$(elapsed lumar_upload 4)
curl_time=$(elapsed curl_upload)
one=$(elapsed lumar_upload 1)
echo "$count images of 200 KiB, host answers after 300 ms, load average $(cut -d' ' -f1 /proc/loadavg)"
printf 'curl --parallel-max 4:          %7.3f s\n' "$curl_time"
printf 'lumar-cli --connections 4:      %7.3f s (%.2f x curl, target <= 1.10)\n' "$four" \
  "$(echo "$four / $curl_time" | bc -l)"
printf 'lumar-cli --connections 1:      %7.3f s (4 connections take %.2f x this, target <= 0.30)\n' \
  "$one" "$(echo "$four / $one" | bc -l)"
