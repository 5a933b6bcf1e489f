#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh Wine prefix of its own:
#   bash scripts/test-windows.sh OUT_DIR
# (OUT_DIR as given to build-windows.sh). First zw_tests.exe, then every script of tests/parity
# with the Linux and the Windows scripted runners: the screenshots, state dumps, sound logs and
# saved files they leave must be the same bytes.
set -euo pipefail
if [ $# -ne 1 ]; then
  echo "usage: $0 OUT_DIR" >&2
  exit 2
fi
here="$(cd "$(dirname "$0")/.." && pwd)"
out="$(cd "$1" && pwd)"
win="$out/build"
lin="${ZW_LINUX_BUILD:-$out/linux}"

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
WINEPREFIX="$(mktemp -d /tmp/zw-wine.XXXXXX)"
export WINEPREFIX
scratch="$(mktemp -d /tmp/zw-parity.XXXXXX)"
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$scratch"
}
trap cleanup EXIT
# No display: the tests draw into memory only.
unset DISPLAY WAYLAND_DISPLAY
wine=wine  # Debian's wrapper starts the 64-bit loader for a 64-bit program
timeout 300 "$wine" wineboot --init >/dev/null 2>&1

echo "== zw_tests.exe under Wine =="
failed=0
(cd "$win" && timeout 1200 "$wine" ./zw_tests.exe --gtest_brief=1) || failed=1

echo "== the same scripts on Linux and on Windows =="
cmake --build "$lin" --target zapwheely-autoplay >/dev/null
for script in "$here"/tests/parity/*.script; do
  name="$(basename "$script" .script)"
  for side in linux windows; do
    dir="$scratch/$side/$name"
    mkdir -p "$dir/Data/Save"
    run="$lin"
    [ "$side" = windows ] && run="$win"
    for d in Res Music Fonts; do cp -a "$run/Data/$d" "$dir/Data/"; done
    cp "$script" "$dir/run.script"
    if [ "$side" = linux ]; then
      (cd "$dir" && timeout 600 "$lin/zapwheely-autoplay" run.script)
    else
      (cd "$dir" && timeout 600 "$wine" "$win/zapwheely-autoplay.exe" run.script)
    fi
  done
  if diff -r "$scratch/linux/$name" "$scratch/windows/$name" >"$scratch/$name.diff"; then
    echo "$name: $(cd "$scratch/linux/$name" && find . -path ./Data/Res -prune -o -path ./Data/Music \
      -prune -o -path ./Data/Fonts -prune -o -type f -print | wc -l) files the same"
  else
    cat "$scratch/$name.diff"
    failed=1
  fi
done
exit $failed
