# Timing helpers the benchmark scripts share; source it.
now() { date +%s.%N; }
elapsed() {  # command... ; prints its wall time in seconds
  local t0 t1
  t0=$(now); "$@" >/dev/null 2>&1 || true; t1=$(now)
  echo "$t1 - $t0" | bc -l
}
min() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
median() {  # numbers...: the middle one (the lower of the two middle ones for an even count)
  printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}

# Pictures and certificates the upload benchmarks share.
make_padded_jpegs() {  # folder count KiB: JPEGs of exactly KiB each, a sample padded after its end
  local base=samples/sunset.jpg pad
  mkdir -p "$1"
  pad=$(mktemp)
  head -c $(($3 * 1024 - $(stat -c %s "$base"))) /dev/urandom > "$pad"
  for i in $(seq -w 1 "$2"); do cat "$base" "$pad" > "$1/img$i.jpg"; done
  rm -f "$pad"
}
make_test_ca() {  # folder name: ca.pem, and host.pem/host.key for the name signed by it
  openssl req -x509 -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -days 2 -subj "/CN=$2-ca" \
    -keyout "$1/ca.key" -out "$1/ca.pem" 2>/dev/null
  openssl req -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -subj "/CN=$2" \
    -keyout "$1/host.key" -out "$1/host.csr" 2>/dev/null
  printf 'subjectAltName=DNS:%s\n' "$2" > "$1/ext"
  openssl x509 -req -in "$1/host.csr" -CA "$1/ca.pem" -CAkey "$1/ca.key" -CAcreateserial \
    -days 2 -extfile "$1/ext" -out "$1/host.pem" 2>/dev/null
}

# An optimised lumar-cli (built into $LUMAR_BENCH_BUILD_DIR, default build-bench); prints its path.
optimised_cli() {
  local build=${LUMAR_BENCH_BUILD_DIR:-build-bench}
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_BUILD_UI=OFF \
    -DLUMAR_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build" --target lumar-cli | grep -E "error|FAILED" >&2 || true
  echo "$PWD/$build/bin/lumar-cli"
}
# Debian's own Python (the servers need only its standard library), else the first on PATH.
python=/usr/bin/python3
[ -x "$python" ] || python=python3
