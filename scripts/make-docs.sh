#!/usr/bin/env bash
# Makes the screenshots and contact sheets in docs/ from scripted runs of the real game.
# Run after a build: bash scripts/make-docs.sh [BUILD_DIR]
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
build="${1:-$here/build}"
docs="$here/docs"
mkdir -p "$docs"
cd "$build"
for n in 1 2 3; do ./zapwheely-pack sheet "Data/Res/Res$n.gpk" "$docs/sheet-res$n.png"; done
run() { printf '%s\n' "$@" > /tmp/zw-docs.script; ./zapwheely-autoplay /tmp/zw-docs.script; }
run "seed 7" "frames 70" "shot $docs/menu.png" "press Down" "frames 1" "press Return" "frames 3" \
    "shot $docs/help.png" "press Left" "frames 1" "press Return" "frames 3" "shot $docs/help-bonuses.png"
run "seed 7" "frames 70" "press Down" "frames 1" "press Down" "frames 1" "press Return" "frames 2" \
    "press Up" "frames 1" "press Up" "frames 1" "press Return" "frames 1" "type Norway" "frames 20" \
    "shot $docs/options.png"
run "seed 7" "frames 70" "press Return" "frames 2" "shot $docs/bike-selection.png"
# Each of the five bikes on the selection screen, then one contact image of all five.
# Up selects the previous-bike arrow, Right the next-bike arrow; Right on it turns to the next.
run "seed 7" "frames 70" "press Return" "frames 2" "shot /tmp/zw-docs-bike1.png" "press Up" \
    "frames 1" "press Right" "frames 1" "press Right" "frames 20" "shot /tmp/zw-docs-bike2.png" \
    "press Right" "frames 20" "shot /tmp/zw-docs-bike3.png" "press Right" "frames 20" \
    "shot /tmp/zw-docs-bike4.png" "press Right" "frames 20" "shot /tmp/zw-docs-bike5.png"
for n in 1 2 3 4 5; do
  /usr/bin/convert /tmp/zw-docs-bike$n.png -crop 440x400+358+130 +repage /tmp/zw-docs-bikec$n.png
done
/usr/bin/convert /tmp/zw-docs-bikec{1,2,3,4,5}.png +append -resize 50% "$docs/bikes-all-five.png"
run "seed 7" "race 1" "frames 40" "shot $docs/banner.png" "frames 160" "shot $docs/race-start.png" \
    "keydown Up" "frames 420" "keydown Left" "frames 10" "keyup Left" "frames 40" "keydown Right" \
    "frames 10" "keyup Right" "frames 30" "keydown Right" "frames 8" "keydown Space" "frames 14" \
    "shot $docs/race-riding.png" "keyup Space" "keyup Right" \
    "press P" "frames 2" "shot $docs/pause.png"
# The banners over the road: the time over, the game over, the end of the last level.
run "seed 9" "race 1" "frames 200" "keydown Up" "frames 300" "keyup Up" "set RaceClock 200" \
    "frames 340" "shot $docs/time-over.png"
run "seed 9" "race 1" "frames 200" "set Lives 0" "set RaceClock 200" "frames 30" \
    "shot $docs/game-over.png"
run "seed 9" "race 1" "level 10" "frames 200" "set Finished 1" "set RaceClock 1000" "frames 700" \
    "shot $docs/congratulations.png"
# Both side panels at full size: at the start line, then at full speed.
run "seed 7" "race 1" "frames 200" "shot /tmp/zw-docs-panels-start.png" "keydown Up" "frames 900" \
    "shot /tmp/zw-docs-panels-fast.png"
for n in start fast; do
  /usr/bin/convert /tmp/zw-docs-panels-$n.png -crop 174x600+0+0 +repage /tmp/zw-docs-left.png
  /usr/bin/convert /tmp/zw-docs-panels-$n.png -crop 174x600+626+0 +repage /tmp/zw-docs-right.png
  /usr/bin/convert /tmp/zw-docs-left.png -size 12x600 xc:black /tmp/zw-docs-right.png +append \
      /tmp/zw-docs-panels-$n-pair.png
done
/usr/bin/convert /tmp/zw-docs-panels-start-pair.png -size 12x600 xc:gray20 \
    /tmp/zw-docs-panels-fast-pair.png +append "$docs/race-panels.png"
# The five upright bikes side by side at race scale (shown three times larger, pixel for pixel).
for i in 5 6 7 8 9; do
  ./zapwheely-pack export Data/Res/Res2.gpk $i /tmp/zw-docs-upright$i.png
  /usr/bin/convert /tmp/zw-docs-upright$i.png -background '#3a3c42' -gravity center -extent 80x80 \
      /tmp/zw-docs-upright$i.png
done
/usr/bin/convert /tmp/zw-docs-upright{5,6,7,8,9}.png +append -filter point -resize 300% \
    "$docs/bikes-race-scale.png"
run "seed 9" "race 1" "frames 200" "set RaceClock 12300" "set Finished 1" "frames 400" \
    "shot $docs/tally.png"
run "seed 9" "race 4" "frames 200" "set RaceScore 7350" "press Escape" "frames 1" "press Left" \
    "frames 1" "press Return" "frames 2" "type Wanda" "frames 30" "shot $docs/name-entry.png"
# Name entry with the gamepad: the offered character past the cursor and the hint line.
run "seed 9" "race 4" "frames 200" "set RaceScore 7350" "press Escape" "frames 1" "press Left" "frames 1" \
    "press Return" "frames 2" "type Wand" "padpress DpadUp" "frames 20" "shot $docs/name-entry-gamepad.png"
# The level-5 grid: finish level 4, and the tally leads to level 5 with its five opponents.
run "seed 5" "race 1" "level 4" "frames 200" "set Finished 1" "set RaceClock 1000" "frames 700" \
    "shot $docs/level5-grid.png"
# Opponents, a wreck and the bonuses on the road.
run "seed 12" "race 3" "level 6" "frames 1" "set Finished 1" "set RaceClock 1000" "frames 1000" \
    "keydown Up" "frames 90" "set CarWrecked 2" "frames 25" "shot $docs/race-traffic.png"
# A name entered goes into the table, which is shown at the end of the race.
run "seed 9" "race 4" "frames 200" "set RaceScore 7350" "press Escape" "frames 1" "press Left" "frames 1" \
    "press Return" "frames 2" "type Wanda" "frames 3" "press Return" "frames 2" "press N" "frames 3" \
    "shot $docs/high-scores.png"
# With no browser to open it, the web site's address stands on the screen for a while.
run "seed 7" "nobrowser" "frames 70" "press Up" "frames 1" "press Up" "frames 1" "press Return" \
    "frames 30" "shot $docs/no-browser.png"
