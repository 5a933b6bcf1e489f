#!/usr/bin/env bash
# Checks the game installed like a program: the menu entry and metadata validate, the game
# installed under a scratch prefix starts from the menu entry's command in a fresh home folder
# and writes its saves under ~/.local/share/zapwheely/Data/Save at exit, leaving the installed
# files untouched; then the .deb is built and, when run as root, installed with dpkg, played
# the same way and removed with apt-get, leaving nothing behind.
# Usage: scripts/check-install.sh [BUILD_DIR]   (needs xvfb-run, xdotool, desktop-file-utils,
# appstream; the game's window runs under Xvfb as on a desktop)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
tmp="$(mktemp -d)"
game_pid=""
cleanup() {
  [ -n "$game_pid" ] && kill -9 "$game_pid" 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT

# Starts the menu entry's command with BIN first on the path and HOME fresh, asks it to end as
# a logout would (SIGTERM), and checks the saves landed in the player's folder.
play_and_quit() {
  local bin="$1" desktop="$2" home="$tmp/home-$3"
  mkdir -p "$home"
  local cmd
  cmd="$(sed -n 's/^Exec=//p' "$desktop")"
  HOME="$home" PATH="$bin:$PATH" XDG_DATA_HOME="" SDL_AUDIODRIVER=dummy \
    xvfb-run -a -s "-screen 0 1024x768x24" bash -c '
      set -u
      '"$cmd"' > "$HOME/game.out" 2>&1 &
      pid=$!
      xdotool search --sync --name "Zap Wheely" >/dev/null
      sleep 3
      kill -TERM $pid  # the desktop asking the game to end: it saves and exits at once
      for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
      if kill -0 $pid 2>/dev/null; then echo "the game is still running"; kill -9 $pid; exit 1; fi
      wait $pid'
  local save="$home/.local/share/zapwheely/Data/Save"
  for f in options hs; do
    [ -s "$save/$f" ] || { echo "no $save/$f after the game ended"; cat "$home/game.out"; exit 1; }
  done
  for d in Res Music Fonts; do
    [ -L "$home/.local/share/zapwheely/Data/$d" ] || { echo "Data/$d is not linked"; exit 1; }
  done
  echo "saves written under ~/.local/share/zapwheely/Data/Save"
}

echo "== install into a scratch prefix =="
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix/share/applications/zapwheely.desktop"
appstreamcli validate --no-net --pedantic "$prefix"/share/metainfo/*.metainfo.xml
for f in bin/zapwheely libexec/zapwheely/zapwheely share/zapwheely/Data/Res/Res1.gpk \
  share/zapwheely/Data/Music/Race.xm share/zapwheely/Data/Fonts/BebasNeue-Regular.otf \
  share/icons/hicolor/256x256/apps/zapwheely.png share/icons/hicolor/scalable/apps/zapwheely.svg; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
python3 - "$prefix/share/icons/hicolor/256x256/apps/zapwheely.png" <<'PY'
import struct, sys
head = open(sys.argv[1], 'rb').read(24)
w, h = struct.unpack('>II', head[16:24])
sys.exit(0 if head[:8] == b'\x89PNG\r\n\x1a\n' and (w, h) == (256, 256) else 1)
PY
chmod -R a-w "$prefix"  # the installed files stay read-only: the game must not need to write there
play_and_quit "$prefix/bin" "$prefix/share/applications/zapwheely.desktop" prefix
chmod -R u+w "$prefix"

echo "== the Debian package =="
(cd "$build" && cpack -G DEB -B "$tmp/deb" >/dev/null)
deb="$(ls "$tmp"/deb/zapwheely_*.deb)"
dpkg-deb --info "$deb" | sed -n 's/^ \(Package\|Version\|Depends\):/\1:/p'
dpkg-deb --contents "$deb" | grep './usr/bin/zapwheely$' >/dev/null
if [ "$(id -u)" -eq 0 ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$deb" >/dev/null
  play_and_quit /usr/bin /usr/share/applications/zapwheely.desktop deb
  DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq zapwheely >/dev/null
  for f in /usr/bin/zapwheely /usr/libexec/zapwheely /usr/share/zapwheely \
    /usr/share/applications/zapwheely.desktop; do
    [ ! -e "$f" ] || { echo "$f is left after removal"; exit 1; }
  done
  echo "the package installed, played and was removed cleanly"
fi
