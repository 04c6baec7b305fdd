#!/usr/bin/env bash
# Builds the Debian package of lumar, lumar-cli and lumar-demo-hoster into build-pkg/.
#   bash scripts/package.sh            # -> build-pkg/lumar_<version>_<arch>.deb
# Install it with: sudo apt-get install ./build-pkg/lumar_*.deb
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${LUMAR_PKG_BUILD_DIR:-$root/build-pkg}"

need=()
for tool in cmake ninja g++ dpkg-shlibdeps; do command -v "$tool" >/dev/null || need+=("$tool"); done
if ((${#need[@]})); then
  echo "package.sh: missing tools: ${need[*]} (run scripts/setup.sh, and apt-get install dpkg-dev)" >&2
  exit 1
fi

# -O2 as Debian builds its packages; every warning stays an error, as in the other builds.
flags="-O2 -DNDEBUG"
cmake -S "$root" -B "$build" -G Ninja \
  -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_CXX_FLAGS_RELEASE="$flags" \
  -DCMAKE_INSTALL_PREFIX=/usr \
  -DLUMAR_BUILD_TESTS=OFF -DLUMAR_BUILD_BENCH=OFF -DLUMAR_SANITIZE=OFF -DLUMAR_FUZZ=OFF
cmake --build "$build" -j"${LUMAR_JOBS:-2}"
(cd "$build" && cpack -G DEB)
ls -1 "$build"/lumar_*.deb
