#!/usr/bin/env bash
# The smoothness a player feels: the real game in its SDL window under Xvfb, riding a race with Up
# held for a minute, at window scale 1 and 2; prints the 99th percentile of the intervals between
# presented frames beside the display's refresh interval. Needs xvfb-run and xdotool; run inside
# the build folder:
#   cd build && bash ../bench/frame_times.sh [SECONDS]
set -euo pipefail
seconds="${1:-60}"
[ -x ./zapwheely ] || { echo "run inside the build folder, which holds zapwheely" >&2; exit 2; }
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

# One ride under a screen of the given size: the window opens at the largest whole scale that
# fits, so 1024x768 gives scale 1 and 1800x1400 scale 2.
ride() {
  local screen="$1" log="$2"
  cat > "$work/ride.sh" <<INNER
set -u
SDL_AUDIODRIVER=dummy ZAPWHEELY_FRAME_LOG="$log" ./zapwheely > "$work/game.out" 2>&1 &
pid=\$!
xdotool search --sync --onlyvisible --name "Zap Wheely" >/dev/null
sleep 3  # the fly-in
xdotool mousemove 5 5  # keyboard focus follows the pointer without a window manager
for k in Return Return Return; do xdotool keydown \$k; sleep 0.1; xdotool keyup \$k; sleep 0.4; done
sleep 2  # the race's start
date +%s.%N > "$log.start"
xdotool keydown Up
sleep $seconds
xdotool keyup Up
kill -TERM \$pid
wait \$pid
INNER
  xvfb-run -a -s "-screen 0 ${screen}x24" bash "$work/ride.sh"
}

# The intervals of the last SECONDS of the log (the race, not the menus before it).
report() {
  local name="$1" log="$2"
  python3 - "$name" "$log" "$seconds" <<'PY'
import sys
name, path, seconds = sys.argv[1], sys.argv[2], float(sys.argv[3])
head, values = "", []
for line in open(path):
    if line.startswith("#"):
        head = line[1:].split()
    elif line.strip():
        values.append(int(line))
fields = dict(zip(head[::2], head[1::2]))
refresh = int(fields.get("refresh_hz", 60))
kept, total = [], 0
for v in reversed(values):
    if total >= seconds * 1e6:
        break
    kept.append(v)
    total += v
kept.sort()
if not kept:
    sys.exit(f"{name}: no frames logged")
def pct(p):
    return kept[min(len(kept) - 1, int(p / 100 * len(kept)))] / 1000
print(f"{name}: scale {fields.get('window_scale', '?')}, {len(kept)} frames over {total / 1e6:.1f} s, "
      f"median {pct(50):.2f} ms, p99 {pct(99):.2f} ms, max {kept[-1] / 1000:.2f} ms; "
      f"refresh {refresh} Hz = {1000 / refresh:.2f} ms; p99 / refresh interval "
      f"{pct(99) * refresh / 1000:.2f}")
PY
}

ride 1024x768 "$work/scale1.log"
ride 1800x1400 "$work/scale2.log"
report "1x" "$work/scale1.log"
report "2x" "$work/scale2.log"
