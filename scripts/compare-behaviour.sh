#!/usr/bin/env bash
# What the game does, recorded from scripted headless runs, so that a change meant to leave the
# behaviour alone can be checked byte for byte against the build before it.
#
#   scripts/compare-behaviour.sh make BUILD_DIR OUT_DIR   record one build's behaviour
#   scripts/compare-behaviour.sh compare OUT_A OUT_B      cmp every file; non-zero on a difference
#
# A record holds every screenshot the docs script takes (the docs script itself, run into OUT_DIR
# instead of docs/), state dumps, sound logs and track maps of five 800-frame rides with crashes
# and bonuses, the saved options and high-score files, and the online requests the game sends.
# Every run starts in a scratch run-time folder of its own with an empty Data/Save.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"

usage() {
  echo "usage: $0 make BUILD_DIR OUT_DIR | compare OUT_A OUT_B" >&2
  exit 2
}

# A fresh run-time folder: the build's packs, tunes and fonts, the programs, an empty save folder.
scratch_run_dir() {
  local build="$1" dir="$2"
  rm -rf "$dir"
  mkdir -p "$dir/Data/Save"
  for d in Res Music Fonts; do ln -s "$build/Data/$d" "$dir/Data/$d"; done
  ln -s "$build/zapwheely-autoplay" "$dir/zapwheely-autoplay"
  ln -s "$build/zapwheely-pack" "$dir/zapwheely-pack"
}

# One scripted run NAME with its lines; afterwards the save files it left go into OUT/save/.
ride() {
  local name="$1"
  shift
  scratch_run_dir "$build" "$work/run"
  printf '%s\n' "$@" > "$work/$name.script"
  (cd "$work/run" && ./zapwheely-autoplay "$work/$name.script")
  for f in options hs; do
    if [ -f "$work/run/Data/Save/$f" ]; then cp "$work/run/Data/Save/$f" "$out/save/$name.$f"; fi
  done
}

# The state of a ride every 100 frames over 800 frames, with the sounds it played and its track.
dumps() {
  local name="$1"
  shift
  local lines=("$@")
  for n in 1 2 3 4 5 6 7 8; do
    lines+=("frames 100" "state $out/rides/$name-$n.json")
  done
  lines+=("sounds $out/rides/$name-sounds.json" "track $out/rides/$name.track")
  ride "$name" "${lines[@]}"
}

make_record() {
  build="$(cd "$1" && pwd)"
  out="$2"
  [ -x "$build/zapwheely-autoplay" ] || { echo "no zapwheely-autoplay in $build" >&2; exit 2; }
  rm -rf "$out"
  mkdir -p "$out/docs" "$out/rides" "$out/save" "$out/online"
  out="$(cd "$out" && pwd)"
  work="$(mktemp -d)"
  trap 'rm -rf "$work"' EXIT

  # The docs script's screenshots, each into OUT/docs; its in-between pictures too, since the
  # contact images ImageMagick makes from them carry a date.
  scratch_run_dir "$build" "$work/docs-run"
  sed -e "s#^docs=.*#docs=\"$out/docs\"#" -e "s#/tmp/zw-docs#$work/zw-docs#g" \
    "$here/scripts/make-docs.sh" > "$work/make-docs.sh"
  bash "$work/make-docs.sh" "$work/docs-run" > /dev/null
  rm -f "$out/docs/bikes-all-five.png" "$out/docs/race-panels.png" "$out/docs/bikes-race-scale.png"
  cp "$work"/zw-docs-bike[1-5].png "$work"/zw-docs-panels-start.png "$work"/zw-docs-panels-fast.png "$out/docs/"
  for f in options hs; do
    if [ -f "$work/docs-run/Data/Save/$f" ]; then cp "$work/docs-run/Data/Save/$f" "$out/save/docs.$f"; fi
  done

  # Five rides of 800 frames: weaving off the road into crashes, through traffic and bonuses.
  dumps weave "seed 3" "race 2" "frames 200" "keydown Up" "frames 60" \
    "keydown Left" "frames 45" "keyup Left" "frames 80" "keydown Right" "frames 90" "keyup Right"
  dumps traffic "seed 12" "race 3" "level 6" "frames 1" "set Finished 1" "set RaceClock 1000" \
    "frames 1000" "keydown Up" "frames 90" "set CarWrecked 2" "frames 20" "keydown Right" \
    "frames 30" "keyup Right" "keydown Left" "frames 60" "keyup Left"
  dumps bonuses "seed 17" "race 4" "level 5" "frames 200" "keydown Up" "frames 150" \
    "keydown Left" "frames 6" "keyup Left" "frames 150" "keydown Right" "frames 6" "keyup Right" \
    "frames 150" "keydown Right" "frames 38" "press H"
  dumps brake "seed 29" "race 3" "level 7" "frames 200" "keydown Up" "frames 150" "keydown Left" \
    "frames 6" "keyup Left" "frames 150" "keydown Right" "frames 6" "keyup Right" "frames 100" \
    "keydown Space" "frames 30" "keyup Space" "keydown Left" "frames 58"
  dumps lastlife "seed 40" "race 1" "level 8" "frames 200" "set Lives 1" "keydown Up" \
    "keydown Left" "frames 300" "keyup Left" "keydown Right" "frames 200"

  # A game that makes the table, a name typed, the result sent: the online requests, the saves.
  ride online "seed 9" "race 1" "frames 200" "set Lives 1" "set RaceScore 6400" "set RaceClock 100" \
    "frames 600" "type Ace Rider 7" "frames 1" "press Return" "frames 1" "press Y" "frames 3" \
    "shot $out/online/table.png" "state $out/online/state.json" "requests $out/online/requests.txt" "quit"
  # The options changed and left through the menu: the options file.
  ride options "seed 7" "frames 70" "press Down" "frames 1" "press Down" "frames 1" \
    "press Return" "frames 2" "press Up" "frames 1" "press Up" "frames 1" "press Return" \
    "frames 1" "type Norway" "frames 2" "press Return" "frames 2" "press Escape" "frames 3" \
    "shot $out/save/options.png" "quit"
  echo "recorded $(find "$out" -type f | wc -l) files into $out"
}

compare_records() {
  local a="$1" b="$2" diffs=0
  [ -d "$a" ] && [ -d "$b" ] || usage
  local list
  list="$( (cd "$a" && find . -type f; cd "$b" && find . -type f) | sort -u)"
  while IFS= read -r f; do
    if [ ! -f "$a/$f" ] || [ ! -f "$b/$f" ]; then
      echo "only in one record: $f"
      diffs=$((diffs + 1))
    elif ! cmp -s "$a/$f" "$b/$f"; then
      echo "differs: $f"
      diffs=$((diffs + 1))
    fi
  done <<< "$list"
  echo "$(wc -l <<< "$list") files compared, $diffs differ"
  [ "$diffs" -eq 0 ]
}

case "${1:-}" in
  make) [ $# -eq 3 ] || usage; make_record "$2" "$3" ;;
  compare) [ $# -eq 3 ] || usage; compare_records "$2" "$3" ;;
  *) usage ;;
esac
