#!/usr/bin/env bash
# Installs what is missing, builds Lumar and starts the desktop program.
# Extra arguments go to lumar (for example --config-dir DIR).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLUMAR_BUILD_TESTS=OFF >/dev/null
cmake --build build --target lumar lumar-cli
exec build/bin/lumar "$@"
