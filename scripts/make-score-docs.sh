#!/usr/bin/env bash
# Makes docs/online-table.png and docs/home-page.png: a score service on the loopback with made-up
# results, photographed by headless Chromium. Usage: scripts/make-score-docs.sh [BUILD_DIR]
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
"$build/server/zapwheely-scores-fill" --db "$work/scores.db" --rows 240 --seed 7
"$build/zapwheely-scores" --listen 127.0.0.1:0 --db "$work/scores.db" --quiet \
  --docs "$here/docs" > "$work/address" &
pid=$!
for _ in $(seq 50); do [ -s "$work/address" ] && break; sleep 0.1; done
address="$(head -n1 "$work/address")"
[ -n "$address" ] || { echo "the score service did not start" >&2; exit 1; }
shoot() {
  chromium --headless --no-sandbox --disable-gpu --disable-quic --no-first-run \
    --disable-background-networking --disable-component-update --disable-sync \
    --hide-scrollbars --user-data-dir="$work/profile" --window-size="$2" \
    --screenshot="$3" "http://$address$1" 2>/dev/null
}
shoot "/cgi/version.pl?prg=ZapWheely&show&type=0" 1000,1000 "$here/docs/online-table.png"
shoot "/" 1000,1340 "$here/docs/home-page.png"
echo "made docs/online-table.png and docs/home-page.png"
