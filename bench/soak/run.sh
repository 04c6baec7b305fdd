#!/usr/bin/env bash
# The soak run: N small JPEGs (default 10,000) through lumar-cli upload over TLS with 4
# connections to flaky_host.py, which fails one request in ten in a passing way and one image
# in a hundred for good. Samples lumar-cli's resident memory and open descriptors every second
# and checks the outcome with check.py. Then the same upload, in a fresh settings folder, is
# killed with SIGKILL at KILLS random moments (default 5) and resumed each time; at the end no
# image may be lost, and only those in flight at a kill may have been sent twice.
#   bash bench/soak/run.sh [N] [KILLS]
# LUMAR_SOAK_CLI names a lumar-cli to use instead of building an optimised one in build-bench;
# LUMAR_SOAK_SEED seeds the kill moments; LUMAR_SOAK_KEEP=1 keeps the work folder;
# LUMAR_SOAK_SAMPLES names a file for the samples (seconds, resident kB, descriptors).
set -euo pipefail
cd "$(dirname "$0")/../.."
# shellcheck source=bench/timing.sh
source bench/timing.sh
count=${1:-10000}
kills=${2:-5}
here=$PWD/bench/soak
RANDOM=${LUMAR_SOAK_SEED:-19}
if [ -n "${LUMAR_SOAK_CLI:-}" ]; then
  cli=$LUMAR_SOAK_CLI
else
  cli=$(optimised_cli)
fi

work=$(mktemp -d)
server_pid=""
cleanup() {
  [ -n "$server_pid" ] && { kill "$server_pid" 2>/dev/null; wait "$server_pid" 2>/dev/null || true; }
  if [ "${LUMAR_SOAK_KEEP:-0}" = 1 ]; then echo "work folder kept: $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

make_test_ca "$work" soak.test

start_server() {  # logfile
  rm -f "$work/port"
  "$python" "$here/flaky_host.py" "$work/port" "$1" "$work/host.pem" "$work/host.key" &
  server_pid=$!
  for _ in $(seq 1 100); do [ -s "$work/port" ] && break; sleep 0.05; done
  [ -s "$work/port" ] || { echo "the flaky host did not start" >&2; exit 1; }
  port=$(head -1 "$work/port")
}
stop_server() { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=""; }

# Copies of the samples, each with its number after the end marker, so every hash differs.
mkdir -p "$work/img"
samples=(samples/*.jpg)
for ((i = 1; i <= count; i++)); do
  name=$(printf 'img%05d.jpg' "$i")
  { cat "${samples[i % ${#samples[@]}]}"; printf 'soak %d' "$i"; } > "$work/img/$name"
done

cat > "$work/soak.sxcu" <<'JSON'
{"Version": "15.0.0", "Name": "soak", "DestinationType": "ImageUploader",
 "RequestMethod": "POST", "RequestURL": "https://soak.test/upload", "Body": "MultipartFormData",
 "FileFormName": "file", "URL": "{json:data.url}", "ErrorMessage": "{json:error.message}"}
JSON

fresh_settings() {  # folder
  rm -rf "$1"
  mkdir -p "$1"
  printf '[Bilder]\r\nWerbung=0\r\nProxy=direct\r\n' > "$1/Lumar.ini"
  "$cli" --config-dir "$1" hoster import "$work/soak.sxcu" >/dev/null
}

# Sent as they are: stripping would drop what follows the end marker, which is all that tells
# the copies apart.
upload_args=(upload --hoster soak --connections 4 --no-center --no-strip --no-own-thumbs --timeout 60 --ca-file "$work/ca.pem")
start_upload() {  # settings posting log
  "$cli" --config-dir "$1" "${upload_args[@]}" --connect-to "soak.test:443:127.0.0.1:$port" \
    "$work/img" > "$2" 2> "$3" &
  cli_pid=$!
}

# --- the soak ---
fresh_settings "$work/cfg"
start_server "$work/server.log"
start=$(date +%s.%N)
start_upload "$work/cfg" "$work/posting.txt" "$work/cli.log"
: > "$work/samples.tsv"
sleep 1  # the first sample once the program is loaded and scanning
while kill -0 "$cli_pid" 2>/dev/null; do
  rss=$(awk '/^VmRSS/ {print $2}' "/proc/$cli_pid/status" 2>/dev/null || true)
  fds=$(ls "/proc/$cli_pid/fd" 2>/dev/null | wc -l || true)
  [ -n "$rss" ] && printf '%s\t%s\t%s\n' "$(date +%s)" "$rss" "$fds" >> "$work/samples.tsv"
  sleep 1
done
status=0
wait "$cli_pid" || status=$?
seconds=$(echo "$(date +%s.%N) - $start" | bc -l)
stop_server
printf 'soak: %d images in %.1f s, lumar-cli exit status %d\n' "$count" "$seconds" "$status"
awk -F'\t' 'NR == 1 {r0 = $2; f0 = $3} {r = $2; f = $3; if ($2 > m) m = $2; if ($3 > fm) fm = $3; n++}
  END {printf "resident memory: first %d kB, last %d kB, peak %d kB over %d samples\n", r0, r, m, n;
       printf "open descriptors: first %d, last %d, peak %d\n", f0, f, fm}' "$work/samples.tsv"
cp "$work/samples.tsv" "${LUMAR_SOAK_SAMPLES:-/dev/null}"
ok=0
"$python" "$here/check.py" "$work/img" "$work/server.log" "$work/posting.txt" "$work/cli.log" \
  "$work/cfg/history.sqlite" || ok=1

# --- killed and resumed ---
fresh_settings "$work/cfg2"
start_server "$work/server2.log"
: > "$work/kills.txt"
span=$(printf '%.0f' "$(echo "$seconds * 1000" | bc -l)")
for ((k = 1; k <= kills; k++)); do
  start_upload "$work/cfg2" "$work/posting2.txt" "$work/cli2.log"
  # Somewhere in the part of the run that is left: kills early in the work and late in it.
  wait_ms=$(( (RANDOM * 32768 + RANDOM) % (span / (kills - k + 2) + 1) + 200 ))
  sleep "$(echo "$wait_ms / 1000" | bc -l)"
  kill -KILL "$cli_pid" 2>/dev/null || true
  wait "$cli_pid" 2>/dev/null || true
  # Images the host took whose upload the history does not hold: in flight at the kill.
  "$python" - "$work/server2.log" "$work/cfg2/history.sqlite" >> "$work/kills.txt" <<'PY'
import os, sqlite3, sys
taken = {l.split()[2] for l in open(sys.argv[1]) if l.split()[1] == "ok"}
known = set()
if os.path.exists(sys.argv[2]):
    db = sqlite3.connect("file:%s?mode=ro" % sys.argv[2], uri=True)
    for (t,) in db.execute("SELECT name FROM sqlite_master WHERE type='table'"):
        cols = [c[1] for c in db.execute("PRAGMA table_info(%s)" % t)]
        sha = [c for c in cols if "original" in c.lower() and "sha" in c.lower()]
        if sha:
            known = {d for (d,) in db.execute("SELECT %s FROM %s" % (sha[0], t))}
print(len(taken - known))
PY
  echo "kill $k after $wait_ms ms: $(tail -1 "$work/kills.txt") images taken but not in the history"
done
start_upload "$work/cfg2" "$work/posting2.txt" "$work/cli2.log"
wait "$cli_pid" || true
stop_server
echo "after $kills kills and the resumed run to the end:"
"$python" "$here/check.py" "$work/img" "$work/server2.log" "$work/posting2.txt" "$work/cli2.log" \
  "$work/cfg2/history.sqlite" "$work/kills.txt" || ok=1
exit $ok
