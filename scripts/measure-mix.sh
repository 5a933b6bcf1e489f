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
