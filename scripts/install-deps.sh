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
  xvfb xauth xdotool x11-apps libxtst-dev openmpt123 xmp imagemagick sox
  libboost-dev libsqlite3-dev chromium libpq-dev postgresql wrk nginx-light openssl curl
  desktop-file-utils appstream dpkg-dev debhelper lintian man-db mmdebstrap ccache python3
  # The Windows build: cross compilers, Wine to run what they make, the installer maker, the
  # keys that check Debian's source packages, and the portable zip.
  gcc-mingw-w64-x86-64-posix g++-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  mingw-w64-x86-64-dev wine wine64 nsis debian-keyring zip
)
# The Windows build compiles its libraries from Debian's source packages: the source indexes of
# the Debian archive already configured are enabled beside its binary ones (as root, or through
# sudo; otherwise the Windows build says what is missing).
enable_sources() {
  apt-get indextargets --format '$(CREATED_BY)' 2>/dev/null | grep -q '^Sources$' && return 0
  local as=""
  if [ "$(id -u)" -ne 0 ]; then
    command -v sudo >/dev/null || return 0
    as="sudo"
  fi
  local src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed -n '/^Types:/s/.*/Types: deb-src/p; /^Types:/!p' "$src" |
      $as tee /etc/apt/sources.list.d/zapwheely-debian-src.sources >/dev/null
  elif [ -f /etc/apt/sources.list ]; then
    grep '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' |
      $as tee /etc/apt/sources.list.d/zapwheely-debian-src.list >/dev/null
  fi
  $as apt-get update -qq || true
}
enable_sources

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

