#!/usr/bin/env bash
# Installs the Debian 12 packages the game, its content build, its tests and benchmarks need.
# Safe to run again: it only asks apt for what is missing.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config clang
  libsdl2-dev libsdl2-gfx-dev libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev
  libcairo2-dev libxmp-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-bebas-neue fonts-liberation
  xvfb xauth xdotool openmpt123 xmp imagemagick sox
  libcpp-httplib-dev libsqlite3-dev chromium libpq-dev postgresql wrk
  desktop-file-utils appstream dpkg-dev ccache python3
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
