#!/usr/bin/env bash
# The part of scripts/check-debian-root.sh that runs inside the fresh Debian root.
# debian-root-inside.sh snapshot FILE | play | purge
set -euo pipefail
mode="$1"

snapshot() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp \
    -o -path /root -o -path /home -o -path /var/lib/dpkg -o -path /var/lib/apt -o -path /var/cache \
    -o -path /var/log \) -prune -o -print | sort
}

# Runs the installed game as USER under Xvfb as the desktop menu would (a login shell, so
# /usr/games is on the path), presses KEYS one at a time, saves a picture of the window as
# SHOT (when given) and ends the game as a logout does. The game must end with status 0.
play() {
  local user="$1" shot="$2"
  shift 2
  su - "$user" -c "SDL_AUDIODRIVER=dummy xvfb-run -a -s '-screen 0 1024x768x24' bash -s $(printf '%q ' "$shot" "$@")" <<'GAME'
set -u
shot="$1"; shift
zapwheely > "$HOME/game.out" 2>&1 &
pid=$!
xdotool search --sync --onlyvisible --name "Zap Wheely" >/dev/null
sleep 3
xdotool mousemove 1000 760  # keyboard focus follows the pointer without a window manager
for k in "$@"; do
  case "$k" in
    wait:*) sleep "${k#wait:}" ;;
    hold:*) k="${k#hold:}"; xdotool keydown "${k%/*}"; sleep "${k#*/}"; xdotool keyup "${k%/*}" ;;
    *) xdotool keydown "$k"; sleep 0.1; xdotool keyup "$k"; sleep 0.5 ;;
  esac
done
[ -n "$shot" ] && xwd -silent -name "Zap Wheely" > "$shot"
kill -TERM $pid
for _ in $(seq 50); do kill -0 $pid 2>/dev/null || break; sleep 0.1; done
if kill -0 $pid 2>/dev/null; then echo "the game is still running"; kill -9 $pid; exit 1; fi
wait $pid || { echo "the game ended with status $?"; cat "$HOME/game.out"; exit 1; }
GAME
}

seed() {
  local save="/home/$1/.local/share/zapwheely/Data/Save"
  su - "$1" -c "mkdir -p $save"
  install -o "$1" -m 644 /root/seed/hs /root/seed/options "$save/"
}

# From the main menu: start a race, ride a moment, leave it and say yes; type a name, send.
TO_SEND=(Return wait:1 Return wait:4 hold:Up/3 Escape Left Return wait:3 D E B Return wait:1 Return wait:4)

case "$mode" in
snapshot) snapshot >"$2" ;;
play)
  for u in alice bob; do useradd --create-home --shell /bin/bash "$u"; done
  echo "== two players =="
  play alice ""
  play bob "" Down Down Return
  for u in alice bob; do
    save="/home/$u/.local/share/zapwheely/Data/Save"
    for f in options hs; do
      [ -s "$save/$f" ] && [ "$(stat -c %U "$save/$f")" = "$u" ] ||
        { echo "$save/$f is missing or not $u's"; exit 1; }
    done
  done
  if [ "$(stat -c %i /home/alice/.local/share/zapwheely/Data/Save/options)" = \
    "$(stat -c %i /home/bob/.local/share/zapwheely/Data/Save/options)" ]; then
    echo "the two players share one options file"; exit 1
  fi
  # Each keeps the rest out of their saves: bob cannot write alice's.
  if su - bob -c "touch /home/alice/.local/share/zapwheely/Data/Save/hs" 2>/dev/null; then
    echo "bob can write alice's high scores"; exit 1
  fi
  echo "alice and bob each have their own saves"

  echo "== a host in /etc/zapwheely/score-host and a service there =="
  port=18417
  runuser -u _zapwheely-scores -- /usr/sbin/zapwheely-scores --listen 127.0.0.1:$port \
    --db /var/lib/zapwheely-scores/test.db --rate-limit 0 --quiet >/tmp/service.out 2>&1 &
  service=$!
  for _ in $(seq 50); do (exec 3<>/dev/tcp/127.0.0.1/$port) 2>/dev/null && break; sleep 0.1; done
  echo "127.0.0.1:$port" >/etc/zapwheely/score-host
  seed alice
  play alice /tmp/sent.xwd "${TO_SEND[@]}"
  cp /tmp/sent.xwd /root/shots/
  exec 3<>/dev/tcp/127.0.0.1/$port
  printf 'GET /api/scores?offset=0&limit=10 HTTP/1.0\r\nHost: 127.0.0.1\r\n\r\n' >&3
  table="$(cat <&3)"
  exec 3<&-
  kill -TERM $service
  wait $service || true
  echo "$table" | grep -o '"name":"DEB[^}]*' || true
  echo "$table" | grep -q '"name":"DEB' || { echo "the result did not reach the service"; exit 1; }
  echo "the result reached the service named in /etc"

  echo "== nothing listening there =="
  seed bob
  play bob /tmp/unsent.xwd "${TO_SEND[@]}"
  cp /tmp/unsent.xwd /root/shots/
  grep -q 'DEB' /home/bob/.local/share/zapwheely/Data/Save/hs ||
    { echo "the game did not keep its result locally"; exit 1; }
  echo "with no service the game played on and kept its result"
  rm /etc/zapwheely/score-host.dpkg-* 2>/dev/null || true
  ;;
purge)
  dpkg -L zapwheely zapwheely-data zapwheely-scores | sort -u >/root/ours
  apt-get purge -y zapwheely zapwheely-data zapwheely-scores >/dev/null
  apt-get autoremove --purge -y >/dev/null
  snapshot >/root/after
  # What is new since before the install must belong to a package still installed (a font or
  # library apt keeps) or be the backups useradd keeps of the user databases (the test's
  # players); anything else the packages made or left.
  left=()
  while read -r f; do
    case "$f" in /etc/shadow- | /etc/gshadow- | /etc/subuid- | /etc/subgid- | /etc/passwd- | /etc/group-) continue ;; esac
    dpkg -S "$f" >/dev/null 2>&1 || left+=("$f")
  done < <(comm -13 /root/before /root/after)
  while read -r f; do
    [ -e "$f" ] && ! [ -d "$f" ] && left+=("$f")
  done </root/ours
  if [ ${#left[@]} -gt 0 ]; then
    printf '%s\n' "${left[@]}"
    echo "apt-get purge left the files above behind"; exit 1
  fi
  echo "apt-get purge left nothing behind ($(wc -l </root/ours) paths were the packages')"
  ;;
esac
