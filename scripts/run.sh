#!/usr/bin/env bash
# Installs what is missing, builds, and starts the game inside its run-time folder. When the
# game's score service is on this machine and nothing answers there yet, a local one is started
# for the game's session (its table lives in the run-time folder) and stopped when the game ends.
set -euo pipefail
here="$(cd "$(dirname "$0")/.." && pwd)"
bash "$here/scripts/install-deps.sh"
bash "$here/scripts/build.sh" "$here/build"
cd "$here/build"
host="$(sed -n 's/^ZW_SCORE_HOST:STRING=//p' CMakeCache.txt)"
answers() { (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null; }
service=""
case "$host" in
  127.0.0.1:* | localhost:*)
    name="${host%:*}" port="${host##*:}"
    if [ -x ./zapwheely-scores ] && ! answers "$name" "$port"; then
      mkdir -p Data/Online
      ./zapwheely-scores --listen "127.0.0.1:$port" --db Data/Online/scores.db \
        >/dev/null 2>>Data/Online/service.log &
      service=$!
      trap 'kill "$service" 2>/dev/null; wait "$service" 2>/dev/null || true' EXIT
      for _ in $(seq 50); do answers "$name" "$port" && break; sleep 0.1; done
    fi
    ;;
esac
status=0
./zapwheely || status=$?
exit "$status"
