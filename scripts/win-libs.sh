#!/usr/bin/env bash
# The libraries the Windows game links, built for x86_64-w64-mingw32 from Debian's own source
# packages at pinned versions. apt-get checks the downloaded files against the archive's signed
# Release file and dpkg-source checks the maintainer's signature on each .dsc (debian-keyring),
# so nothing is built that Debian did not publish.
#
# The built libraries are kept under ${ZW_WIN_CACHE:-/var/cache/zapwheely-win}, in a prefix
# named after the pins and the compiler, so a second build (and CI on the same machine) skips
# straight to the game. A missing or half-built prefix is built again.
#
# Usage: bash scripts/win-libs.sh      (prints the prefix on its last line)
set -euo pipefail

MINGW=x86_64-w64-mingw32
CACHE="${ZW_WIN_CACHE:-/var/cache/zapwheely-win}"
# Source package = Debian version. Raise RECIPE when a build recipe below changes.
PINS=(
  "zlib=1:1.2.13.dfsg-1"
  "libpng1.6=1.6.39-2+deb12u5"
  "freetype=2.12.1+dfsg-5+deb12u4"
  "libxmp=4.5.0-2"
  "libsdl2=2.26.5+dfsg-1"
)
RECIPE=1
# A library's own recipe revision: raising one rebuilds that library alone into the prefix.
declare -A REV=([zlib]=1 [libpng1.6]=1 [freetype]=2 [libxmp]=1 [libsdl2]=1 [googletest]=1)
JOBS="${ZW_WIN_JOBS:-$(nproc)}"

gtest_version=$(dpkg-query -W -f='${Version}' googletest)
key=$(printf '%s\n' "${PINS[@]}" "recipe=$RECIPE" "gtest=$gtest_version" \
  "$($MINGW-gcc-posix --version | head -1)" \
  "$(dpkg-query -W -f='${Version}' mingw-w64-x86-64-dev)" | sha256sum | cut -c1-16)
PREFIX="$CACHE/prefix-$key"
SRC="$CACHE/src"
WORK="$CACHE/work-$key"
mkdir -p "$PREFIX" "$SRC" "$WORK"
# A log of what is in the prefix, for whoever looks at the cache.
printf '%s\n' "${PINS[@]}" "googletest=$gtest_version (from /usr/src/googletest)" >"$PREFIX/PINS"

TOOLCHAIN="$(cd "$(dirname "$0")/.." && pwd)/cmake/mingw-w64-x86_64.cmake"

# Unpacks a pinned source package into $WORK/NAME, fetching it first when it is not cached.
unpack() {
  local pin="$1" pkg="${1%%=*}" ver="${1#*=}"
  local bare="${ver#*:}" # file names carry no epoch
  local dsc="$SRC/${pkg}_${bare}.dsc"
  if [ ! -f "$dsc" ]; then
    (cd "$SRC" && apt-get source --download-only "$pin" >/dev/null) || {
      echo "build-windows: cannot fetch the source of $pin (is deb-src enabled for the" \
        "Debian archive? scripts/install-deps.sh enables it)" >&2
      exit 1
    }
  fi
  rm -rf "$WORK/$pkg"
  # Checks the .dsc's signature and every file's size and checksums before unpacking.
  dpkg-source --require-valid-signature --require-strong-checksums -x "$dsc" "$WORK/$pkg" \
    >"$WORK/$pkg.unpack.log" 2>&1 || {
    cat "$WORK/$pkg.unpack.log" >&2
    echo "build-windows: $dsc did not verify" >&2
    exit 1
  }
}

cmake_lib() {
  local src="$1" bld="$2"
  shift 2
  cmake -S "$src" -B "$bld" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$TOOLCHAIN" \
    -DZW_WIN_PREFIX="$PREFIX" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$PREFIX" \
    -DBUILD_SHARED_LIBS=OFF "$@" >"$bld.log" 2>&1 || {
    tail -30 "$bld.log" >&2
    exit 1
  }
  cmake --build "$bld" -j "$JOBS" >>"$bld.log" 2>&1 || {
    tail -30 "$bld.log" >&2
    exit 1
  }
  cmake --install "$bld" >>"$bld.log" 2>&1
}

build_zlib() {
  # Debian's source leaves out zlib's Windows makefiles: the library is its handful of C files.
  local s="$WORK/zlib" f objs=()
  mkdir -p "$s/obj"
  for f in adler32 compress crc32 deflate gzclose gzlib gzread gzwrite infback inffast inflate \
    inftrees trees uncompr zutil; do
    $MINGW-gcc-posix -O2 -D_LARGEFILE64_SOURCE=1 -c "$s/$f.c" -o "$s/obj/$f.o"
    objs+=("$s/obj/$f.o")
  done
  rm -f "$s/libz.a"
  $MINGW-ar rcs "$s/libz.a" "${objs[@]}"
  mkdir -p "$PREFIX/lib/pkgconfig" "$PREFIX/include"
  cp "$s/libz.a" "$PREFIX/lib/"
  cp "$s/zlib.h" "$s/zconf.h" "$PREFIX/include/"
  cat >"$PREFIX/lib/pkgconfig/zlib.pc" <<EOF
prefix=$PREFIX
Name: zlib
Description: zlib compression library
Version: 1.2.13
Libs: -L\${prefix}/lib -lz
Cflags: -I\${prefix}/include
EOF
}

build_libpng1.6() {
  cmake_lib "$WORK/libpng1.6" "$WORK/libpng1.6-build" -DPNG_SHARED=OFF -DPNG_STATIC=ON \
    -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF -DZLIB_LIBRARY="$PREFIX/lib/libz.a" \
    -DZLIB_INCLUDE_DIR="$PREFIX/include"
}

build_freetype() {
  # Only outline fonts the game ships are read: no bitmap-font helpers. FreeType's gzip reader
  # is linked to the zlib above (as Debian's own FreeType is), not to a second copy inside it.
  cmake_lib "$WORK/freetype" "$WORK/freetype-build" -DFT_REQUIRE_ZLIB=ON \
    -DZLIB_LIBRARY="$PREFIX/lib/libz.a" -DZLIB_INCLUDE_DIR="$PREFIX/include" \
    -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
}

build_libxmp() {
  # This release builds with autoconf only.
  local s="$WORK/libxmp"
  (cd "$s" && ./configure --host=$MINGW CC=$MINGW-gcc-posix AR=$MINGW-ar \
    RANLIB=$MINGW-ranlib --prefix="$PREFIX" --enable-static --disable-shared &&
    make -j "$JOBS" && make install) >"$s.log" 2>&1 || {
    tail -30 "$s.log" >&2
    exit 1
  }
}

build_libsdl2() {
  cmake_lib "$WORK/libsdl2" "$WORK/libsdl2-build" -DSDL_SHARED=OFF -DSDL_STATIC=ON \
    -DSDL_TEST=OFF -DSDL_TESTS=OFF
}

build_googletest() {
  cmake_lib /usr/src/googletest "$WORK/googletest-build" -DBUILD_GMOCK=ON -DINSTALL_GTEST=ON
}

# Built, with this recipe revision, into this prefix.
built() { [ "$(cat "$PREFIX/.done-$1" 2>/dev/null)" = "${REV[$1]}" ]; }
for pin in "${PINS[@]}"; do
  pkg="${pin%%=*}"
  built "$pkg" && continue
  echo "build-windows: building $pin for $MINGW" >&2
  unpack "$pin"
  "build_$pkg"
  echo "${REV[$pkg]}" >"$PREFIX/.done-$pkg"
done
if ! built googletest; then
  echo "build-windows: building googletest $gtest_version for $MINGW" >&2
  build_googletest
  echo "${REV[googletest]}" >"$PREFIX/.done-googletest"
fi
rm -rf "$WORK"
echo "$PREFIX"
