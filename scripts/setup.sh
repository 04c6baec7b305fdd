#!/usr/bin/env bash
# Installs what building and testing Lumar needs on Debian 12. Safe to run again:
# packages already present are skipped, and apt is only asked when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools qt6-svg-dev qt6-multimedia-dev
  libgl-dev libglx-dev libegl-dev
  libgtest-dev libgmock-dev
  clang libclang-rt-14-dev
  nlohmann-json3-dev libpcre2-dev libpugixml-dev
  fonts-dejavu-core xvfb xauth curl time
  qt6-qpa-plugins
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  sudo_cmd=""
  [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  export DEBIAN_FRONTEND=noninteractive
  $sudo_cmd apt-get update -qq
  $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
