#!/usr/bin/env bash
# The same replay ridden by two builds of the game (other optimisation flags, the sanitizers)
# must make the same race: the same score and the same race state hash at every level end and at
# the end. A maths function or an uninitialised value that differs between builds shows here.
#
#   scripts/check-reride.sh BUILD_A BUILD_B [REPLAY.zwr]
#
# Each build needs zapwheely-autoplay (e.g. `cmake --build DIR --target zapwheely-autoplay`).
# Without REPLAY, BUILD_A's runner records one: the pilot rides seed 4242 through level 1 into
# level 2, with a pause and the exit question answered No, to the game's end. Both builds ride
# it with the packs of BUILD_A (the question is the code, not the content), drawn and not drawn.
# Prints each ride's result and fails when any differs or any ride does not prove the file.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
[ $# -ge 2 ] || { echo "usage: $0 BUILD_A BUILD_B [REPLAY.zwr]" >&2; exit 2; }
a="$(cd "$1" && pwd)"
b="$(cd "$2" && pwd)"
for d in "$a" "$b"; do
  [ -x "$d/zapwheely-autoplay" ] || { echo "no zapwheely-autoplay in $d" >&2; exit 2; }
done
[ -f "$a/Data/Res/Res1.gpk" ] || { echo "no packs in $a/Data/Res" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# A scratch run-time folder for a build: BUILD_A's packs, tunes and fonts, an empty save.
run_dir() {
  local dir="$work/run-$1"
  rm -rf "$dir"
  mkdir -p "$dir/Data/Save"
  for d in Res Music Fonts; do ln -s "$a/Data/$d" "$dir/Data/$d"; done
  echo "$dir"
}

if [ $# -ge 3 ]; then
  replay="$(cd "$(dirname "$3")" && pwd)/$(basename "$3")"
else
  replay="$work/game.zwr"
  dir="$(run_dir record)"
  printf '%s\n' "seed 4242" "refresh 60" "frametime 16" "record $replay" "race 2" "pilot 1500" \
    "press P" "frames 90" "press P" "pilot 400" "press Escape" "frames 30" "press N" \
    "pilot 12000" > "$work/record.script"
  (cd "$dir" && "$a/zapwheely-autoplay" "$work/record.script")
  [ -f "$replay" ] || { echo "the recorded game did not end" >&2; exit 1; }
fi

status=0
first=""
for build in "$a" "$b"; do
  for mode in nodraw draw; do
    dir="$(run_dir ride)"
    out="$work/ride.json"
    printf '%s\n' "seed 1" "refresh 85" "frametime 12" "ride $replay $out $mode" \
      > "$work/ride.script"
    (cd "$dir" && "$build/zapwheely-autoplay" "$work/ride.script")
    result="$(cat "$out")"
    echo "$build ($mode): $result"
    case "$result" in
      *'"ended": true'*'"verdict": ""'*) ;;
      *) echo "  the ride does not prove the file" >&2; status=1 ;;
    esac
    if [ -z "$first" ]; then
      first="$result"
    elif [ "$result" != "$first" ]; then
      echo "  differs from the first ride" >&2
      status=1
    fi
  done
done
[ $status -eq 0 ] && echo "same race in both builds, drawn and not"
exit $status
