#!/usr/bin/env bash
# Installs the Debian 12 packages the game, its content build, its tests, benchmarks and
# packaging need. Safe to run again: it only asks apt for what is missing. As root it installs
# directly; as a user it uses sudo where that works, and otherwise says what root must run.
set -euo pipefail
PKGS=(
  build-essential cmake ninja-build pkg-config clang git file
  libsdl2-dev libsdl2-gfx-dev libfreetype-dev libfontconfig-dev libpng-dev zlib1g-dev
  libcairo2-dev libxmp-dev libcurl4-openssl-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-bebas-neue fonts-liberation
  xvfb xauth xdotool x11-apps openmpt123 xmp imagemagick sox
  libboost-dev libsqlite3-dev chromium libpq-dev postgresql wrk nginx-light openssl curl
  desktop-file-utils appstream dpkg-dev debhelper lintian man-db mmdebstrap ccache python3
)
missing=()
for p in "${PKGS[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

install() {
  "$@" apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive "$@" apt-get install -y -qq --no-install-recommends "${missing[@]}"
}
if [ "$(id -u)" -eq 0 ]; then
  install env
  exit 0
fi
if command -v sudo >/dev/null && install sudo; then
  exit 0
fi
{
  echo "install-deps.sh: these Debian packages are missing and installing them needs root:"
  echo "  ${missing[*]}"
  echo "Run as root (for example after 'su -'), then run this command again:"
  echo "  apt-get update && apt-get install -y --no-install-recommends ${missing[*]}"
} >&2
exit 1
