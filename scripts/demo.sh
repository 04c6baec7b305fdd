#!/usr/bin/env bash
# Tries Lumar without the internet: starts lumar-demo-hoster on 127.0.0.1, points the seven
# hosters at it in a temporary settings folder, uploads the sample pictures with lumar-cli
# and prints the posting (log on stderr, posting on stdout).
#   bash scripts/demo.sh [HOSTER] [lumar-cli upload options...]   (HOSTER 1..7, default 1)
set -euo pipefail
cd "$(dirname "$0")/.."
hoster=${1:-1}
shift || true
build=${LUMAR_DEMO_BUILD_DIR:-build}
bash scripts/setup.sh
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target lumar-cli lumar-demo-hoster

settings=$(mktemp -d)
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$settings"
}
trap cleanup EXIT

"$build/bin/lumar-demo-hoster" --lifetime 600 --hosters-ini "$settings/hosters.ini" >"$settings/port" &
pid=$!
for _ in $(seq 1 100); do [ -s "$settings/port" ] && break; sleep 0.05; done
[ -s "$settings/port" ] || { echo "demo: the demo hoster did not start" >&2; exit 1; }
# No advertising line in the demo's output.
"$build/bin/lumar-cli" ini set "$settings/Lumar.ini" Bilder Werbung 0

echo "== uploading samples/*.jpg to hoster $hoster on 127.0.0.1:$(head -1 "$settings/port")" >&2
status=0
"$build/bin/lumar-cli" --config-dir "$settings" upload --hoster "$hoster" --timeout 10 "$@" samples || status=$?
echo
echo "== upload totals" >&2
"$build/bin/lumar-cli" ini get "$settings/Lumar.ini" Stat Files >&2
# At a terminal the demo hoster stays up until Enter, so the links of the posting can be
# followed in a browser; run from a script, it ends at once.
if [ -t 0 ] && [ -t 2 ]; then
  echo "== the links above work in a browser until you press Enter" >&2
  read -r _ || true
fi
exit $status
