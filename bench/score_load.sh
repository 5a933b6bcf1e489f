#!/usr/bin/env bash
# Load figures for the score service on both back ends, side by side in one run: ROWS stored
# scores (default 1 000 000), then submissions, the first table page, random table pages and the
# health check (the baseline) with 1 and 16 clients for SECONDS each (default 5).
# Usage: bench/score_load.sh [BUILD_DIR] [ROWS] [SECONDS]
# MODES (environment) picks the measurements, default "health page deep submit"; BACKENDS picks
# the stores, default "sqlite postgres".
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
rows="${2:-1000000}"
seconds="${3:-5}"
work="$(mktemp -d)"
chmod 755 "$work"  # the throw-away PostgreSQL runs as an unprivileged user
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  bash "$here/scripts/pg-throwaway.sh" clean "$work/pg" >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap cleanup EXIT

measure() {  # name db
  local name="$1" db="$2"
  echo "== $name: filling $rows rows"
  local t0=$(date +%s.%N)
  "$build/server/zapwheely-scores-fill" --db "$db" --rows "$rows"
  echo "   filled in $(echo "$(date +%s.%N) - $t0" | bc | cut -c1-5) s"
  "$build/zapwheely-scores" --listen 127.0.0.1:0 --db "$db" --quiet --rate-limit 0 \
    > "$work/address" &
  pid=$!
  for _ in $(seq 100); do [ -s "$work/address" ] && break; sleep 0.1; done
  local port="$(head -n1 "$work/address" | cut -d: -f2)"
  for mode in ${MODES:-health page deep submit}; do
    for clients in 1 16; do
      echo -n "   $name  "
      "$build/bench/bench_score_load" --port "$port" --clients "$clients" --seconds "$seconds" \
        --mode "$mode" --rows "$rows"
    done
  done
  kill "$pid"; wait "$pid" 2>/dev/null || true; pid=""
}

backends="${BACKENDS:-sqlite postgres}"
[[ " $backends " == *" sqlite "* ]] && measure sqlite "$work/scores.db"
[[ " $backends " == *" postgres "* ]] || exit 0
pgport=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])')
if url="$(bash "$here/scripts/pg-throwaway.sh" start "$work/pg" "$pgport")"; then
  measure postgres "$url"
else
  echo "== postgres: could not start a throw-away server; NOT measured"
fi
