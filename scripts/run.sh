#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game inside its run-time folder. When the
# game's score service is on this machine and nothing answers there yet, a local one is started
# for the game's session (its table lives in the run-time folder) and stopped when the game ends.
# SIGTERM, SIGINT (Ctrl+C) and SIGHUP to this script end the game as a desktop would (it saves
# and exits), then the service; the script exits with the game's status.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/install-deps.sh"
bash "$here/scripts/build.sh" "$here/build"
cd "$here/build"
host="${ZAPWHEELY_SCORE_HOST:-$(sed -n 's/^ZW_SCORE_HOST:STRING=//p' CMakeCache.txt)}"
answers() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }
service=""
game=""
stop_service() {
  if [ -n "$service" ]; then
    kill -TERM "$service" 2>/dev/null || true
    wait "$service" 2>/dev/null || true
  fi
}
trap stop_service EXIT
# Until the game runs a signal just ends the script (and the service, through EXIT).
trap 'exit 130' INT
trap 'exit 143' TERM HUP
case "$host" in
  127.0.0.1:* | localhost:*)
    name="${host%:*}" port="${host##*:}"
    if [ -x ./zapwheely-scores ] && ! answers "$name" "$port"; then
      mkdir -p Data/Online
      ./zapwheely-scores --listen "127.0.0.1:$port" --db Data/Online/scores.db \
        >/dev/null 2>>Data/Online/service.log &
      service=$!
      for _ in $(seq 50); do answers "$name" "$port" && break; sleep 0.1; done
    fi
    ;;
esac
# The game runs in the background so that this shell hears the signals at once and passes
# them on; it ignores Ctrl+C itself (a background job), so it ends through its SIGTERM path.
./zapwheely &
game=$!
trap 'kill -TERM "$game" 2>/dev/null || true' INT TERM HUP
status=0
while :; do
  wait "$game" && status=0 || status=$?
  # wait also returns when a trapped signal arrives: go on waiting while the game runs.
  kill -0 "$game" 2>/dev/null || break
done
exit "$status"
