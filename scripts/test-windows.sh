#!/usr/bin/env bash
# Runs the Windows build's tests under Wine, in a fresh Wine prefix of its own:
#   bash scripts/test-windows.sh OUT_DIR
# (OUT_DIR as given to build-windows.sh). First zw_tests.exe, then every script of tests/parity
# with the Linux and the Windows scripted runners: the screenshots, state dumps, sound logs and
# saved files they leave must be the same bytes. Last, a game recorded on Linux is ridden on both
# to the same score and state, and a game played on Windows is sent to a score service on the
# loopback, which keeps it and rides its replay again.
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
service=""
cleanup() {
  if [ -n "$service" ]; then
    kill "$service" 2>/dev/null || true
    wait "$service" 2>/dev/null || true
  fi
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

# Runs a script with one side's scripted runner in a run-time folder of its own, made afresh
# with that side's data: play linux|windows DIR SCRIPT
play() {
  local run="$lin"
  [ "$1" = windows ] && run="$win"
  mkdir -p "$2/Data/Save"
  for d in Res Music Fonts; do cp -a "$run/Data/$d" "$2/Data/"; done
  cp "$3" "$2/run.script"
  if [ "$1" = linux ]; then
    (cd "$2" && timeout 600 "$lin/zapwheely-autoplay" run.script)
  else
    (cd "$2" && timeout 600 "$wine" "$win/zapwheely-autoplay.exe" run.script)
  fi
}

echo "== the same scripts on Linux and on Windows =="
cmake --build "$lin" --target zapwheely-autoplay zapwheely-scores >/dev/null
for script in "$here"/tests/parity/*.script; do
  name="$(basename "$script" .script)"
  for side in linux windows; do play "$side" "$scratch/$side/$name" "$script"; done
  if diff -r "$scratch/linux/$name" "$scratch/windows/$name" >"$scratch/$name.diff"; then
    echo "$name: $(cd "$scratch/linux/$name" && find . -path ./Data/Res -prune -o -path ./Data/Music \
      -prune -o -path ./Data/Fonts -prune -o -type f -print | wc -l) files the same"
  else
    cat "$scratch/$name.diff"
    failed=1
  fi
done

echo "== a game recorded on Linux, ridden on Linux and on Windows =="
# The runner's pilot plays a whole game on Linux; its replay rides on both to the same end.
printf '%s\n' "seed 4242" "refresh 60" "frametime 16" "race 3" "record game.zwr" "pilot 20000" \
  "frames 3" "quit" >"$scratch/record.script"
play linux "$scratch/record" "$scratch/record.script"
printf '%s\n' "ride ../record/game.zwr ride.json nodraw" "state state.json" "quit" \
  >"$scratch/ride.script"
for side in linux windows; do play "$side" "$scratch/ride-$side" "$scratch/ride.script"; done
for f in ride.json state.json; do
  if ! cmp -s "$scratch/ride-linux/$f" "$scratch/ride-windows/$f"; then
    echo "FAIL: the Linux game's replay ends otherwise on Windows ($f)"
    diff "$scratch/ride-linux/$f" "$scratch/ride-windows/$f" | head -20
    failed=1
  fi
done
echo "Linux replay on both: $(cat "$scratch/ride-windows/ride.json")"

echo "== a game played on Windows, sent to the score service on the loopback =="
# Only the loopback: the service's port is picked by the system and read from its first line.
"$lin/zapwheely-scores" --listen 127.0.0.1:0 --db "$scratch/scores.db" --quiet --rate-limit 0 \
  --verify-data "$lin" >"$scratch/address" 2>"$scratch/service.log" &
service=$!
for _ in $(seq 100); do [ -s "$scratch/address" ] && break; sleep 0.1; done
address="$(head -n1 "$scratch/address")"
case "$address" in
  127.0.0.1:*) ;;
  *)
    echo "FAIL: the score service did not start on the loopback"
    cat "$scratch/service.log"
    exit 1
    ;;
esac
# The game ends on the name entry; Enter and the send question's Yes send the result, then its
# replay, through WinHTTP.
printf '%s\n' "seed 23" "refresh 60" "frametime 16" "scorehost $address" "race 3" "pilot 20000" \
  "type Wine Rider" "frames 1" "press Return" "frames 1" "press Y" "frames 3" "state sent.json" \
  "quit" >"$scratch/send.script"
play windows "$scratch/send" "$scratch/send.script"
score="$(grep -o '"RaceScore":[0-9]*' "$scratch/send/sent.json" | cut -d: -f2)"
# The service rides the replay off the request path: a bounded wait for its verdict.
row=""
for _ in $(seq 300); do
  row="$(curl -s "http://$address/api/scores?offset=0&limit=100" |
    grep -o '{[^{}]*"Wine Rider"[^{}]*}' || true)"
  case "$row" in *'"verified":true'*) break ;; esac
  sleep 0.1
done
case "$row" in
  *"\"score\":$score,"* | *"\"score\":$score}"*) ;;
  *) echo "FAIL: the service did not keep the Windows game's score $score: ${row:-no row}"; failed=1 ;;
esac
case "$row" in
  *'"verified":true'*) ;;
  *) echo "FAIL: the Windows game's replay was not verified: ${row:-no row}"; failed=1 ;;
esac
replay="$(printf '%s' "$row" | grep -o '/replay/[0-9]*\.zwr' || true)"
if [ -n "$replay" ] && curl -sf "http://$address$replay" -o "$scratch/sent.zwr"; then
  # The kept replay rides on Linux to the score the Windows game sent.
  printf '%s\n' "ride ../sent.zwr ride.json nodraw" "quit" >"$scratch/sent-ride.script"
  play linux "$scratch/sent-ride" "$scratch/sent-ride.script"
  grep -q "\"score\": $score," "$scratch/sent-ride/ride.json" ||
    { echo "FAIL: the kept replay rides to another score"; failed=1; }
else
  echo "FAIL: the service gives no replay for the Windows game"
  failed=1
fi
[ $failed -eq 0 ] && echo "sent from Windows: $row"
exit $failed
