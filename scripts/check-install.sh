#!/usr/bin/env bash
# Checks the game installed like a program: the menu entry and metadata validate, the game
# installed under a scratch prefix starts from the menu entry's command in a fresh home folder
# as a normal user, who cannot write into the read-only prefix, and writes its saves under
# ~/.local/share/zapwheely/Data/Save at exit. Then, when run as root, the Debian packages
# (scripts/package.sh, or the .debs already in DEBS_DIR) are installed with apt, played the
# same way as that user and purged, leaving nothing behind.
# Usage: scripts/check-install.sh [BUILD_DIR [DEBS_DIR]]   (needs xvfb-run, xdotool,
# desktop-file-utils, appstream; the game's window runs under Xvfb as on a desktop)
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="$(cd "${1:-$here/build}" && pwd)"
debs="${2:-}"
tmp="$(mktemp -d)"
chmod 755 "$tmp"
trap 'rm -rf "$tmp"' EXIT

# The player: this user, or (as root) a normal account made for the check, so that writing into
# an installed folder really fails as it would on a desktop.
player="$(id -un)"
if [ "$(id -u)" -eq 0 ]; then
  player=zwplayer
  id "$player" >/dev/null 2>&1 || useradd --create-home --shell /bin/bash "$player"
fi
as_player() {
  if [ "$(id -u)" -eq 0 ]; then runuser -u "$player" -- "$@"; else "$@"; fi
}

# Starts the menu entry's command with BIN first on the path and HOME fresh, asks it to end as
# a logout would (SIGTERM), and checks the saves landed in the player's folder.
play_and_quit() {
  local bin="$1" desktop="$2" home="$tmp/home-$3"
  mkdir -p "$home"
  [ "$(id -u)" -eq 0 ] && chown "$player" "$home"
  local cmd
  # The menu starts it with no file: the desktop drops the field code.
  cmd="$(sed -n 's/^Exec=//p' "$desktop" | sed 's/ *%[fFuU]//g')"
  as_player env HOME="$home" PATH="$bin:$PATH" XDG_DATA_HOME="" SDL_AUDIODRIVER=dummy \
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
    [ "$(stat -c %U "$save/$f")" = "$player" ] || { echo "$save/$f is not $player's"; exit 1; }
  done
  for d in Res Music Fonts; do
    [ -L "$home/.local/share/zapwheely/Data/$d" ] || { echo "Data/$d is not linked"; exit 1; }
  done
  echo "saves written by $player under ~/.local/share/zapwheely/Data/Save"
}

echo "== install into a scratch prefix =="
prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
desktop-file-validate "$prefix"/share/applications/*.desktop
appstreamcli validate --no-net --pedantic "$prefix"/share/metainfo/*.metainfo.xml
for f in bin/zapwheely libexec/zapwheely/zapwheely share/zapwheely/Data/Res/Res1.gpk \
  share/zapwheely/Data/Music/Race.xm share/zapwheely/Data/Fonts/BebasNeue-Regular.otf \
  share/icons/hicolor/256x256/apps/zapwheely.png share/icons/hicolor/scalable/apps/zapwheely.svg \
  share/man/man6/zapwheely.6 sbin/zapwheely-scores; do
  [ -e "$prefix/$f" ] || { echo "missing $f"; exit 1; }
done
python3 - "$prefix/share/icons/hicolor/256x256/apps/zapwheely.png" <<'PY'
import struct, sys
head = open(sys.argv[1], 'rb').read(24)
w, h = struct.unpack('>II', head[16:24])
sys.exit(0 if head[:8] == b'\x89PNG\r\n\x1a\n' and (w, h) == (256, 256) else 1)
PY
chmod -R a-w "$prefix"  # the installed files stay read-only: the game must not need to write there
# The check itself must be able to fail: the player cannot write into the prefix.
if as_player touch "$prefix/share/zapwheely/Data/probe" 2>/dev/null; then
  echo "$player can write into the installed prefix: the read-only check proves nothing"
  exit 1
fi
play_and_quit "$prefix/bin" "$prefix"/share/applications/*.desktop prefix
chmod -R u+w "$prefix"

[ "$(id -u)" -eq 0 ] || { echo "not root: the Debian packages are not installed"; exit 0; }
echo "== the Debian packages =="
if [ -z "$debs" ]; then
  debs="$tmp/debs"
  bash "$here/scripts/package.sh" "$debs"
fi
debs="$(cd "$debs" && pwd)"
for p in zapwheely zapwheely-data zapwheely-scores; do
  dpkg-deb --info "$debs/${p}_"*.deb | sed -n 's/^ \(Package\|Version\|Architecture\|Depends\):/\1:/p'
done
snapshot() {
  find /usr /etc /var/lib -xdev \( -path /var/lib/dpkg -o -path /var/lib/apt \) -prune -o -print 2>/dev/null | sort
}
snapshot >"$tmp/before"
DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "$debs"/zapwheely_*.deb "$debs"/zapwheely-data_*.deb "$debs"/zapwheely-scores_*.deb >/dev/null
[ -x /usr/games/zapwheely ] || { echo "no /usr/games/zapwheely"; exit 1; }
for f in BebasNeue-Regular.otf BebasNeue-Bold.otf LiberationMono-Regular.ttf; do
  link=/usr/share/games/zapwheely/Data/Fonts/$f
  [ -L "$link" ] && [ -f "$(readlink -f "$link")" ] || { echo "$link is not a live link"; exit 1; }
done
getent passwd _zapwheely-scores >/dev/null || { echo "no system user for the service"; exit 1; }
if [ -d /run/systemd/system ] && systemctl is-enabled zapwheely-scores >/dev/null 2>&1; then
  echo "the service was enabled without the operator asking"
  exit 1
fi
play_and_quit /usr/games /usr/share/applications/io.github.zapwheely.zapwheely.desktop deb
DEBIAN_FRONTEND=noninteractive apt-get purge -y -qq zapwheely zapwheely-data zapwheely-scores >/dev/null
snapshot >"$tmp/after"
if ! diff "$tmp/before" "$tmp/after" >"$tmp/left"; then
  echo "left behind or taken away by install and purge:"
  cat "$tmp/left"
  exit 1
fi
echo "the packages installed, played as $player and were purged leaving nothing behind"
