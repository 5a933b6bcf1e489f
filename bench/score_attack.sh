#!/usr/bin/env bash
# The score service under attack on the loopback: 20 connections of 100 000 header lines, then
# 1000 connections sending a header line every 2 s, 1000 idle ones and 200 that never read, while
# a player makes 100 submissions. Fails when a player waits a second or more (p99), the process
# passes 150 MB, or its threads and memory stay up afterwards.
# Usage: bench/score_attack.sh [BUILD_DIR] [HOLD_SECONDS] [SUBMISSIONS]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
hold="${2:-12}"
submissions="${3:-100}"
work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null && wait "$pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
ulimit -n "$(ulimit -Hn)"
"$build/zapwheely-scores" --listen 127.0.0.1:0 --db "$work/scores.db" --quiet --rate-limit 0 \
  --docs "$here/docs" > "$work/address" &
pid=$!
for _ in $(seq 100); do [ -s "$work/address" ] && break; sleep 0.1; done
port="$(head -n1 "$work/address" | cut -d: -f2)"
"$build/bench/bench_score_attack" --port "$port" --pid "$pid" --hold "$hold" \
  --submissions "$submissions"
kill "$pid"
wait "$pid"
pid=""
