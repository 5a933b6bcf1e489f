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
  desktop-file-utils appstream dpkg-dev
  # The Windows build: cross compilers, Wine to run what they make, the installer maker, the
  # keys that check Debian's source packages, and the portable zip.
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev wine wine64 nsis debian-keyring zip
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

# The Windows build compiles its libraries from Debian's source packages: the source indexes of
# the Debian archive already configured are enabled beside its binary ones.
if ! apt-get indextargets --format '$(CREATED_BY)' | grep -q '^Sources$'; then
  SUDO=""
  [ "$(id -u)" -ne 0 ] && SUDO="sudo"
  src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed -n '/^Types:/s/.*/Types: deb-src/p; /^Types:/!p' "$src" |
      $SUDO tee /etc/apt/sources.list.d/zapwheely-debian-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      $SUDO tee /etc/apt/sources.list.d/zapwheely-debian-src.list >/dev/null
  fi
  $SUDO apt-get update -qq
fi
