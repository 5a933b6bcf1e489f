#!/usr/bin/env bash
# Renders a scripted race and 30 s of menu clicks through the game's mixer and prints their
# peak and loudness. Run after a build: bash scripts/measure-mix.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
cd "${1:-$here/build}"
for m in race menu; do
  ./zapwheely-autoplay "$here/tools/autoplay/scripts/mix-$m.script"
  ./zapwheely-pack mix "/tmp/zw-mix-$m.log" "/tmp/zw-mix-$m.wav"
  echo "$m:"; sox "/tmp/zw-mix-$m.wav" -n stats 2>&1 | grep -E 'Pk lev|RMS lev|Length'
done
# The engine against the race tune at full throttle through the gears: the same run rendered
# twice, once with only the engine's sounds, once with only the tune, from the throttle on.
./zapwheely-autoplay "$here/tools/autoplay/scripts/mix-gears.script"
grep -v '"op":"music"' /tmp/zw-mix-gears.log |
  grep -Ev '"op":"(play|stop)","index":([0-3]|1[4-8]|2[01])}' > /tmp/zw-mix-engine.log
grep -Ev '"op":"(play|stop)"' /tmp/zw-mix-gears.log > /tmp/zw-mix-tune.log
for part in engine tune; do
  ./zapwheely-pack mix "/tmp/zw-mix-$part.log" "/tmp/zw-mix-$part.wav"
  echo "gears, $part only:"
  sox "/tmp/zw-mix-$part.wav" -n trim 2.5 stats 2>&1 | grep -E 'Pk lev|RMS lev'
done
