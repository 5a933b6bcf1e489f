#!/usr/bin/env bash
# Opens the real game window under Xvfb and sends it SIGTERM on the main menu, in a race, on the
# options screen and with the exit question open: each time the game must end through its
# shutdown within a second, with exit status 0 and both saved files written. Needs xvfb-run and
# xdotool; run inside the build folder:
#   cd build && xvfb-run -a -s "-screen 0 1024x768x24" bash ../scripts/check-window.sh
set -u
failed=0
# $1 names the case, the rest are xdotool key presses that reach it from the main menu.
check() {
  local name="$1"
  shift
  rm -f Data/Save/options Data/Save/hs
  SDL_AUDIODRIVER=dummy ./zapwheely > /tmp/zw-window.out 2>&1 &
  local pid=$!
  xdotool search --sync --onlyvisible --name "Zap Wheely" >/dev/null
  sleep 3  # the fly-in
  xdotool mousemove 1000 760  # keyboard focus follows the pointer without a window manager
  for k in "$@"; do
    xdotool keydown "$k"; sleep 0.1; xdotool keyup "$k"; sleep 0.4
  done
  kill -TERM $pid
  local waited=0
  while kill -0 $pid 2>/dev/null && [ $waited -lt 10 ]; do sleep 0.1; waited=$((waited + 1)); done
  if kill -0 $pid 2>/dev/null; then
    echo "$name: still running a second after SIGTERM"
    kill -9 $pid
    failed=1
    return
  fi
  wait $pid
  local status=$?
  if [ $status -eq 0 ] && [ -f Data/Save/options ] && [ -f Data/Save/hs ]; then
    echo "$name: ended with status 0, both files written"
  else
    echo "$name: status $status, options $(test -f Data/Save/options && echo yes || echo no), hs $(test -f Data/Save/hs && echo yes || echo no)"
    failed=1
  fi
}
check "main menu"
check "options" Down Down Return
check "race" Return Return Return
check "exit question" Escape
exit $failed
