#!/usr/bin/env bash
# Installs what building and testing Lumar needs on Debian 12. Safe to run again:
# packages already present are skipped, and apt is only asked when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev
  libgl-dev libglx-dev libegl-dev
  libgtest-dev libgmock-dev
  libssl-dev
  # the upload history
  libsqlite3-dev
  # shrinking pictures before upload
  libvips-dev
  clang libclang-rt-14-dev clang-format
  nlohmann-json3-dev libpcre2-dev libpugixml-dev
  fonts-dejavu-core xvfb xauth curl time
  desktop-file-utils
  # the check of the AppStream metainfo file
  appstream
  # the notification test runs a session bus of its own
  dbus
  qt6-qpa-plugins qt6-translations-l10n
  # the preview reads WebP through Qt's image-format plugins
  qt6-image-formats-plugins
  locales
  # the multipart parsers the tests post to (run with Debian's own /usr/bin/python3)
  php-cli python3-werkzeug
  # the peers and counts of the benchmarks in bench/ (vipsthumbnail, strace -c)
  libvips-tools strace
)
# Node and npm for the Node parsers; a machine may carry its own build of Node, which brings
# npm along and must not be replaced by Debian's.
command -v node >/dev/null || packages+=(nodejs)
command -v npm >/dev/null || packages+=(npm)

sudo_cmd=""
[ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The window's number formats are tested under a German locale (decimal comma).
if ! locale -a 2>/dev/null | grep -qix 'de_DE\.utf-\?8'; then
  echo "setup: generating the locale de_DE.UTF-8"
  $sudo_cmd localedef -i de_DE -f UTF-8 de_DE.UTF-8
fi

# The Node parsers and renderers, pinned by their lockfile, installed with the machine's own npm.
parsers="$(cd "$(dirname "$0")/.." && pwd)/tests/net/parsers"
if [ ! -f "$parsers/node_modules/.package-lock.json" ] ||
   [ "$parsers/package-lock.json" -nt "$parsers/node_modules/.package-lock.json" ]; then
  echo "setup: installing the Node multipart parsers and posting renderers"
  (cd "$parsers" && npm ci --no-audit --no-fund --loglevel=error)
fi
