#!/usr/bin/env bash
# Installs the Windows game with its installer into a fresh Wine prefix and plays it from the
# Start-menu entry, as a player would: pictures of the main menu, the high-score table and a
# race; then the saves must be in the prefix's AppData after the session ends and after the
# close box's Yes; a replay recorded on Linux, opened as a file, plays in the game; the
# uninstaller must take the replay type and leave the saves. Needs an X display and the Linux
# build (ZW_LINUX_BUILD, or OUT_DIR/linux) for the replay:
#   xvfb-run -a -s "-screen 0 1024x768x24" bash scripts/check-windows-install.sh OUT_DIR SHOTS
set -euo pipefail
if [ $# -ne 2 ]; then
  echo "usage: $0 OUT_DIR SHOTS_DIR" >&2
  exit 2
fi
out="$(cd "$1" && pwd)"
mkdir -p "$2"
shots="$(cd "$2" && pwd)"
setup="$(ls "$out"/ZapWheely-Setup-*.exe | head -1)"
lin="${ZW_LINUX_BUILD:-$out/linux}"

# Wine's menu builder would copy the Start-menu entry and the file types into this machine's own
# desktop: the check keeps to its prefix.
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
WINEPREFIX="$(mktemp -d /tmp/zw-wine-install.XXXXXX)"
export WINEPREFIX
wineserver="$(command -v wineserver || echo /usr/lib/wine/wineserver)"
scratch="$(mktemp -d /tmp/zw-wine-replay.XXXXXX)"
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  rm -rf "$WINEPREFIX" "$scratch"
}
trap cleanup EXIT
timeout 300 wine wineboot --init >/dev/null 2>&1

failed=0
fail() {
  echo "FAIL: $*"
  failed=1
}

timeout 300 wine "$setup" /S
c="$WINEPREFIX/drive_c"
game="$c/Program Files/Zap Wheely"
lnk="$c/ProgramData/Microsoft/Windows/Start Menu/Programs/Zap Wheely.lnk"
[ -f "$game/zapwheely.exe" ] && [ -f "$game/Data/Res/Res1.gpk" ] || fail "the game is not installed"
[ -f "$lnk" ] || fail "no Start-menu entry"
save="$(find "$c/users" -maxdepth 3 -type d -name Roaming | head -1)/ZapWheely/Data/Save"
# The replay file type, as Explorer reads it.
zwr_type() { wine reg query 'HKLM\Software\Classes\.zwr' /ve 2>/dev/null | tr -d '\r'; }
zwr_open() {
  wine reg query 'HKLM\Software\Classes\ZapWheely.Replay\shell\open\command' /ve 2>/dev/null |
    tr -d '\r'
}
zwr_type | grep -q 'ZapWheely\.Replay' || fail "the installer did not register .zwr"
zwr_open | grep -qF '"C:\Program Files\Zap Wheely\zapwheely.exe" --replay "%1"' ||
  fail "a .zwr does not open with the game: $(zwr_open)"

# Starts the game the way the Start menu does: the shortcut, its working folder and all.
start_game() {
  wine start 'C:\ProgramData\Microsoft\Windows\Start Menu\Programs\Zap Wheely.lnk'
  for _ in $(seq 1 60); do
    xdotool search --onlyvisible --name "^Zap Wheely$" >/dev/null 2>&1 && break
    sleep 0.5
  done
  xdotool search --onlyvisible --name "^Zap Wheely$" >/dev/null 2>&1 || fail "no game window"
  sleep 4 # the fly-in
  # No window manager gives the window the keyboard: it is given by hand.
  xdotool search --onlyvisible --name "^Zap Wheely$" windowfocus --sync 2>/dev/null || true
  xdotool mousemove 1000 760
}
keys() {
  for k in "$@"; do
    xdotool keydown "$k"
    sleep 0.1
    xdotool keyup "$k"
    sleep 0.5
  done
}
running() { pgrep -f 'zapwheely\.exe' >/dev/null; }
wait_end() {
  for _ in $(seq 1 40); do
    running || return 0
    sleep 0.25
  done
  return 1
}

start_game
[ -d "$save" ] || fail "no save folder made in AppData on the first start"
import -window root "$shots/menu.png"
keys Down Down Down Return
sleep 2
import -window root "$shots/high-scores.png"
keys Escape
sleep 2
# Back on the menu the cursor stays on the table's tab: up to "Start game", then the bike
# selection's "Start race".
keys Up Up Up Return
sleep 2
keys Return
sleep 3
xdotool keydown Up
sleep 5
import -window root "$shots/race.png"
xdotool keyup Up
# The session ends (log-off, shut-down): the game saves before Windows stops it.
rm -f "$save/options" "$save/hs"
timeout 60 wine wineboot --end-session >/dev/null 2>&1 || true
wait_end || fail "the game outlived the session"
[ -f "$save/options" ] && [ -f "$save/hs" ] || fail "a session end did not save both files"
[ ! -e "$game/Data/Save" ] || fail "the installed folder got a save folder"

# The close box asks; Yes ends the game and saves.
rm -f "$save/options" "$save/hs"
start_game
keys alt+F4
sleep 1
import -window root "$shots/close-question.png"
keys Left Return
wait_end || fail "the close box's Yes did not end the game"
[ -f "$save/options" ] && [ -f "$save/hs" ] || fail "the close box's Yes did not save both files"

# A replay recorded on Linux, opened as a file the way Explorer opens one, plays in the game.
mkdir -p "$scratch/Data/Save"
for d in Res Music Fonts; do ln -s "$lin/Data/$d" "$scratch/Data/$d"; done
printf '%s\n' "seed 4242" "refresh 60" "frametime 16" "race 3" "record ride.zwr" "pilot 20000" \
  "frames 3" "quit" >"$scratch/record.script"
(cd "$scratch" && timeout 300 "$lin/zapwheely-autoplay" record.script)
wine start /unix "$scratch/ride.zwr"
for _ in $(seq 1 60); do
  xdotool search --onlyvisible --name "^Zap Wheely$" >/dev/null 2>&1 && break
  sleep 0.5
done
sleep 6
import -window root "$shots/replay.png"
pid="$(pgrep -f 'zapwheely\.exe' | head -1 || true)"
if [ -z "$pid" ]; then
  fail "opening a .zwr did not start the game"
else
  tr '\0' ' ' </proc/"$pid"/cmdline | grep -q -- '--replay .*ride\.zwr' ||
    fail "the game did not get the replay: $(tr '\0' ' ' </proc/"$pid"/cmdline)"
fi
timeout 60 wine wineboot --end-session >/dev/null 2>&1 || true
wait_end || fail "the game watching the replay outlived the session"

# A silent uninstall takes the game and its menu entry and leaves the player's saves. Wine
# answers before the uninstaller has done its work: every process of the prefix ends first.
timeout 120 wine "$game/Uninstall.exe" /S _?="C:\\Program Files\\Zap Wheely"
timeout 60 "$wineserver" -w || true
[ ! -e "$game/zapwheely.exe" ] || fail "the uninstaller left the game"
[ ! -e "$lnk" ] || fail "the uninstaller left the menu entry"
[ -f "$save/options" ] && [ -f "$save/hs" ] || fail "the uninstaller took the saves"
# Wine's reg answers a missing key with a line on standard output and status 1.
for key in '.zwr' 'ZapWheely.Replay'; do
  ! wine reg query "HKLM\\Software\\Classes\\$key" >/dev/null 2>&1 ||
    fail "the uninstaller left the replay type's $key"
done

[ $failed -eq 0 ] && echo "installed, played from the Start menu, saves kept: pictures in $shots"
exit $failed
