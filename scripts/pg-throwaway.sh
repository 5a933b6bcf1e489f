#!/usr/bin/env bash
# A throw-away PostgreSQL server for the score service's tests and load benchmark: its own data
# folder, the loopback only, trust login for the user "zw", run as an unprivileged user when
# started by root.
#   pg-throwaway.sh start DIR PORT [nosync]
#                                    makes DIR/data (if new), starts the server, prints its URL;
#                                    "nosync" (the tests) never waits for the disk (a commit
#                                    still reaches the system before it returns, and the new
#                                    cluster is not flushed by initdb either): they check
#                                    the service, not PostgreSQL's durability, and a stop and
#                                    start of the server then costs little; the load benchmark
#                                    keeps the durable settings a real server has
#   pg-throwaway.sh stop DIR         stops it at once (nothing of a test's data is worth keeping)
#   pg-throwaway.sh clean DIR        stops it and removes DIR
set -euo pipefail
cmd="${1:?start|stop|clean}"
dir="${2:?folder}"
bin="$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n1)"
[ -x "$bin/initdb" ] || { echo "pg-throwaway: PostgreSQL is not installed" >&2; exit 3; }
run=()
if [ "$(id -u)" -eq 0 ]; then
  user=postgres
  id "$user" >/dev/null 2>&1 || user=nobody
  run=(runuser -u "$user" --)
fi
case "$cmd" in
  start)
    port="${3:?port}"
    sync=() initsync=()
    [ "${4:-}" = nosync ] && sync=(-c fsync=off -c full_page_writes=off) initsync=(--no-sync)
    mkdir -p "$dir"
    [ ${#run[@]} -gt 0 ] && chown "${run[2]}" "$dir"
    if [ ! -f "$dir/data/PG_VERSION" ]; then
      "${run[@]}" "$bin/initdb" "${initsync[@]}" -D "$dir/data" -U zw --auth=trust -E UTF8 \
        --locale=C >"$dir/initdb.log" 2>&1 || { cat "$dir/initdb.log" >&2; exit 1; }
    fi
    echo "$port" > "$dir/port"
    "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 60 \
      -o "-p $port -c listen_addresses=127.0.0.1 -k $dir -c max_connections=200 ${sync[*]}" start \
      >/dev/null || { cat "$dir/server.log" >&2; exit 1; }
    echo "postgresql://zw@127.0.0.1:$port/postgres"
    ;;
  stop)
    [ -f "$dir/data/postmaster.pid" ] &&
      "${run[@]}" "$bin/pg_ctl" -D "$dir/data" -m immediate -w -t 30 stop >/dev/null 2>&1
    true
    ;;
  clean)
    "$0" stop "$dir"
    rm -rf "$dir"
    ;;
  *)
    echo "pg-throwaway: unknown command $cmd" >&2
    exit 2
    ;;
esac
