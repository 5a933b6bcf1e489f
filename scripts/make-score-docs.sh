#!/usr/bin/env bash
# Makes docs/online-table.png and docs/home-page.png: a score service on the loopback with made-up
# results and a few games the runner's pilot really rode and sent (their replays ridden again by
# the service, so they show as verified), photographed by headless Chromium.
# Usage: scripts/make-score-docs.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
"$build/server/zapwheely-scores-fill" --db "$work/scores.db" --rows 20 --seed 7
"$build/zapwheely-scores" --listen 127.0.0.1:0 --db "$work/scores.db" --quiet --rate-limit 0 \
  --docs "$here/docs" > "$work/address" &
pid=$!
for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done
address="$(head -n1 "$work/address")"
[ -n "$address" ] || { echo "the score service did not start" >&2; exit 1; }
# Games played headless, each in a run-time folder of its own, that end on the name entry: the
# game sends the result and then its replay, as a player's Yes does.
ride() {  # SEED BIKE NAME
  local run="$work/run-$1-$2"
  mkdir -p "$run/Data/Save"
  for sub in Res Music Fonts; do ln -s "$build/Data/$sub" "$run/Data/$sub"; done
  printf '%s\n' "seed $1" "refresh 60" "frametime 16" "scorehost $address" "race $2" \
    "pilot 20000" "type $3" "frames 1" "press Return" "frames 1" "press Y" "frames 3" \
    > "$run/game.txt"
  (cd "$run" && timeout 120 "$build/zapwheely-autoplay" game.txt)
}
ride 4242 3 "Mira K"
ride 23 3 "Jonas"
ride 11 1 "Ola 7"
# The service rides the replays off the request path: wait (bounded) until all three are verified.
verified=0
for _ in $(seq 300); do
  verified="$(curl -s "http://$address/api/scores?offset=0&limit=100" | grep -o '"verified":true' |
    wc -l)"
  [ "$verified" -ge 3 ] && break
  sleep 0.1
done
[ "$verified" -ge 3 ] || { echo "the rides were not verified ($verified of 3)" >&2; exit 1; }
shoot() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --user-data-dir="$work/profile" --window-size="$2" \
    --screenshot="$3" "http://$address$1" 2>/dev/null
}
shoot "/cgi/version.pl?prg=ZapWheely&show&type=0" 1000,1000 "$here/docs/online-table.png"
shoot "/" 1000,1470 "$here/docs/home-page.png"
echo "made docs/online-table.png and docs/home-page.png"
