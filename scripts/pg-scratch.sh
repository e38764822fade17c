#!/usr/bin/env bash
# A throw-away PostgreSQL server for benchmarks and tries by hand, on 127.0.0.1 only.
#   scripts/pg-scratch.sh start DIR [PORT]   prints the server name to give the program
#   scripts/pg-scratch.sh stop DIR
# Runs as the postgres user when started as root (initdb refuses root).
set -euo pipefail
bin=/usr/lib/postgresql/15/bin
cmd=${1:?start or stop}
dir=$(realpath -m "${2:?folder}")
as_owner() {
  if [ "$(id -u)" = 0 ]; then runuser -u postgres -- "$@"; else "$@"; fi
}
case "$cmd" in
start)
  port=${3:-}
  if [ -z "$port" ]; then
    for port in $(seq 55432 55532); do
      (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null || break
    done
  fi
  mkdir -p "$dir"
  if [ "$(id -u)" = 0 ]; then chown postgres "$dir"; fi
  as_owner "$bin/initdb" -D "$dir/db" -A trust -U postgres >"$dir/initdb.log" 2>&1
  as_owner "$bin/pg_ctl" -D "$dir/db" -l "$dir/server.log" -w \
    -o "-c listen_addresses=127.0.0.1 -p $port -k $dir" start >/dev/null
  as_owner "$bin/createdb" -h "$dir" -p "$port" -U postgres ordertool
  echo "pgsql://postgres@127.0.0.1:$port/ordertool"
  ;;
stop)
  as_owner "$bin/pg_ctl" -D "$dir/db" -m fast -w stop >/dev/null
  ;;
*)
  echo "usage: $0 start DIR [PORT] | stop DIR" >&2
  exit 2
  ;;
esac
