#!/usr/bin/env bash
# Memory of an upload run with large files: lumar-cli upload of N JPEGs of S MiB each against
# the local demo hoster, peak resident set size (VmHWM) by /usr/bin/time -v. Compared with
# a run of one such file and a run of N small files, it shows whether the run holds one image
# at a time (peak near "one large") or piles them up (peak near N x S MiB).
#   bash bench/upload/memory_bench.sh [N] [S]        (default 5 files of 50 MiB)
# Builds an optimised build without sanitizers first (LUMAR_BENCH_BUILD_DIR, default
# build-posting-bench).
set -euo pipefail
cd "$(dirname "$0")/../.."
count=${1:-5}
mib=${2:-50}
build=${LUMAR_BENCH_BUILD_DIR:-build-posting-bench}
[ -x /usr/bin/time ] || { echo "/usr/bin/time is missing (Debian package 'time')" >&2; exit 1; }
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_BUILD_UI=OFF -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target lumar-cli lumar-demo-hoster | grep -E "error|FAILED" || true
cli=$PWD/$build/bin/lumar-cli
hoster=$PWD/$build/bin/lumar-demo-hoster

work=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

# A valid JPEG of about `mib` MiB: the sample picture with a chain of full-size comment
# segments (FF FE, 65533 bytes each) of random bytes right after its start marker.
make_large() {  # file mib
  python3 - "$1" "$2" samples/sunset.jpg <<'EOF'
import os, sys
out, mib, sample = sys.argv[1], int(sys.argv[2]), open(sys.argv[3], 'rb').read()
assert sample[:2] == b'\xff\xd8'
body = 65533
segments = max(1, (mib * 1024 * 1024 - len(sample)) // (body + 4))
with open(out, 'wb') as f:
    f.write(sample[:2])
    for _ in range(segments):
        f.write(b'\xff\xfe' + (body + 2).to_bytes(2, 'big') + os.urandom(body))
    f.write(sample[2:])
EOF
}

mkdir -p "$work/cfg" "$work/small" "$work/one" "$work/many"
for i in $(seq 1 "$count"); do cp samples/sunset.jpg "$work/small/small$i.jpg"; done
make_large "$work/one/large1.jpg" "$mib"
for i in $(seq 1 "$count"); do make_large "$work/many/large$i.jpg" "$mib"; done

"$hoster" --lifetime 3600 --hosters-ini "$work/cfg/hosters.ini" > "$work/port" 2>/dev/null &
pid=$!
for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
[ -s "$work/port" ] || { echo "the demo hoster did not start" >&2; exit 1; }

# Peak RSS in KiB of one lumar-cli upload of a folder; fails when an image was not uploaded.
peak_kib() {  # folder
  /usr/bin/time -v -o "$work/time.txt" \
    "$cli" --config-dir "$work/cfg" upload --hoster 4 --no-center --timeout 120 "$1" \
    > "$work/posting.txt" 2> "$work/log.txt"
  local ok
  ok=$(grep -c "erfolgreich" "$work/log.txt" || true)
  [ "$ok" = "$(ls "$1" | wc -l)" ] || { echo "upload of $1 failed:" >&2; cat "$work/log.txt" >&2; exit 1; }
  awk -F': ' '/Maximum resident set size/ {print $2}' "$work/time.txt"
}

file_kib=$(( $(stat -c %s "$work/one/large1.jpg") / 1024 ))
small=$(peak_kib "$work/small")
one=$(peak_kib "$work/one")
many=$(peak_kib "$work/many")
mb() { echo "scale=1; $1 / 1024" | bc -l; }
echo "peak RSS of lumar-cli upload (/usr/bin/time -v), demo hoster on 127.0.0.1"
printf '%d small images (%d KiB each):  %8s MiB\n' "$count" $(( $(stat -c %s samples/sunset.jpg) / 1024 )) "$(mb "$small")"
printf '1 image of %s MiB:              %8s MiB (%s MiB above the small run)\n' "$(mb "$file_kib")" "$(mb "$one")" \
  "$(mb $((one - small)))"
printf '%d images of %s MiB:            %8s MiB (%s MiB above the small run)\n' "$count" "$(mb "$file_kib")" \
  "$(mb "$many")" "$(mb $((many - small)))"
printf 'growth over the small run, %d files / 1 file: %.2f (one image at a time = 1.0, all held = %d)\n' \
  "$count" "$(echo "($many - $small) / ($one - $small)" | bc -l)" "$count"
