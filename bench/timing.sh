# Timing helpers the benchmark scripts share; source it.
now() { date +%s.%N; }
elapsed() {  # command... ; prints its wall time in seconds
  local t0 t1
  t0=$(now); "$@" >/dev/null 2>&1 || true; t1=$(now)
  echo "$t1 - $t0" | bc -l
}
min() { if [ -z "$1" ] || [ "$(echo "$2 < $1" | bc -l)" = 1 ]; then echo "$2"; else echo "$1"; fi; }
