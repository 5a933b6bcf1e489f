#!/usr/bin/env bash
# Builds Zap Wheely for 64-bit Windows on this Debian machine:
#   bash scripts/build-windows.sh OUT_DIR
# 1. the libraries from Debian's sources, cached (scripts/win-libs.sh);
# 2. the packs, tunes, fonts and icon with the Linux packbuild, exactly as the Linux build has
#    them (a Linux build folder is made under OUT_DIR/linux, or ZW_LINUX_BUILD names one);
# 3. zapwheely.exe, zapwheely-pack.exe, the scripted runner and zw_tests.exe (OUT_DIR/build);
# 4. the game's folder as it is installed (OUT_DIR/ZapWheely), the portable zip and, where
#    makensis is installed, the installer (OUT_DIR/ZapWheely-Setup-VERSION.exe).
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 OUT_DIR" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")/.." && pwd)"
mkdir -p "$1"
out="$(cd "$1" && pwd)"
MINGW=x86_64-w64-mingw32
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi

prefix="$(bash "$here/scripts/win-libs.sh" | tail -1)"
echo "== libraries: $prefix"

lin="${ZW_LINUX_BUILD:-$out/linux}"
if [ ! -f "$lin/CMakeCache.txt" ]; then
  cmake -S "$here" -B "$lin" -G Ninja -DZW_BUILD_BENCH=OFF "${launcher[@]}" >/dev/null
fi
cmake --build "$lin" --target content icon >/dev/null
content="$out/content"
rm -rf "$content"
mkdir -p "$content/Data" "$content/icon"
for d in Res Music Fonts; do cp -a "$lin/Data/$d" "$content/Data/"; done
# Windows takes its icons in one file of several sizes, all drawn from the 256-pixel picture.
convert "$lin/dist/icon/zapwheely.png" -define icon:auto-resize=256,64,48,32,16 \
  "$content/icon/zapwheely.ico"
echo "== content from the Linux packbuild: $content"

win="$out/build"
# Libraries built since the last configure: their pkg-config answers are asked for again.
if [ -f "$win/CMakeCache.txt" ] && [ -n "$(find "$prefix" -name '.done-*' -newer "$win/CMakeCache.txt")" ]; then
  rm -f "$win/CMakeCache.txt"
fi
cmake -S "$here" -B "$win" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$here/cmake/mingw-w64-x86_64.cmake" \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZW_WIN_PREFIX="$prefix" -DZW_WIN_DATA="$content/Data" \
  "${launcher[@]}" >/dev/null
cmake --build "$win" --target zapwheely zapwheely-pack zapwheely-autoplay zw_tests
version="$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$win/CMakeCache.txt")"

# The game's folder as the installer lays it out: the programs beside their data.
game="$out/ZapWheely"
rm -rf "$game"
mkdir -p "$game/Data"
for exe in zapwheely zapwheely-pack; do
  $MINGW-strip -o "$game/$exe.exe" "$win/$exe.exe"
done
for d in Res Music Fonts; do cp -a "$content/Data/$d" "$game/Data/"; done
cp "$content/icon/zapwheely.ico" "$game/"
sed 's/$/\r/' "$here/CREDITS" >"$game/CREDITS.txt"
echo "== the game's folder: $game"

# The portable zip: its own Data\Save beside the program keeps the saves in the folder.
zipdir="$out/zip/ZapWheely"
rm -rf "$out/zip"
mkdir -p "$zipdir"
cp -a "$game/." "$zipdir/"
mkdir -p "$zipdir/Data/Save"
rm -f "$out/ZapWheely-$version-portable.zip"
(cd "$out/zip" && TZ=UTC find ZapWheely -exec touch -d "@0" {} + &&
  zip -qrX "$out/ZapWheely-$version-portable.zip" ZapWheely)
echo "== portable zip: $out/ZapWheely-$version-portable.zip"

if command -v makensis >/dev/null; then
  makensis -V2 -DVERSION="$version" -DGAME_DIR="$game" \
    -DOUT_FILE="$out/ZapWheely-Setup-$version.exe" "$here/dist/windows/installer.nsi"
  echo "== installer: $out/ZapWheely-Setup-$version.exe"
fi
