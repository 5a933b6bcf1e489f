#!/usr/bin/env bash
# Opens the real game window under Xvfb, asks it to close (as the window's close box does), answers
# "Exit the game?" with Yes and checks the game ends through its shutdown: exit status 0 and the
# saved files written. Needs xvfb-run, xdotool and ImageMagick; run inside the build folder:
#   cd build && xvfb-run -a -s "-screen 0 1024x768x24" bash ../scripts/check-window.sh
set -u
rm -f Data/Save/options Data/Save/hs
./zapwheely > /tmp/zw-window.out 2>&1 &
pid=$!
xdotool search --sync --name "Zap Wheely" >/dev/null
sleep 3  # the fly-in
xdotool mousemove 850 650  # keyboard focus follows the pointer without a window manager
sleep 0.3
kill -TERM $pid  # a close request, as from the window manager
sleep 0.5
xdotool keydown Left; sleep 0.1; xdotool keyup Left
sleep 0.3
import -window root /tmp/zw-window.png
xdotool keydown Return; sleep 0.1; xdotool keyup Return
sleep 1.5
if kill -0 $pid 2>/dev/null; then echo "the game is still running"; kill -9 $pid; exit 1; fi
wait $pid
status=$?
echo "exit status $status"
[ $status -eq 0 ] && [ -f Data/Save/options ] && [ -f Data/Save/hs ]
