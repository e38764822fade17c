#!/usr/bin/env bash
# Installs what is missing, builds, creates the demo company and opens a document for demo
# user 1:
#   scripts/demo.sh [share|special]                          on the embedded server in demo/data
#   scripts/demo.sh [share|special] --server pgsql://user@host:port/database
#                                                            on a PostgreSQL server (made the
#                                                            first time, in the folder demo-pgsql)
set -euo pipefail
cd "$(dirname "$0")/.."
document=share
server=
while [ $# -gt 0 ]; do
  case "$1" in
    share | special) document=$1 ;;
    --server)
      [ $# -ge 2 ] || { echo "--server needs a server name" >&2; exit 2; }
      server=$2
      shift
      ;;
    --server=*) server=${1#--server=} ;;
    *)
      echo "usage: scripts/demo.sh [share|special] [--server pgsql://...]" >&2
      exit 2
      ;;
  esac
  shift
done
case "$document" in
  share) menu=101 mode=4 ;;
  special) menu=102 mode=5 ;;
esac
scripts/build.sh
if [ -z "$server" ]; then
  folder=demo
  mkdir -p "$folder"
  [ -d demo/data ] || build/ordertool-db init --server sqlite:demo/data --demo
else
  folder=demo-pgsql
  mkdir -p "$folder"
  # Made once: an existing demo on that server is kept (the tool refuses to overwrite it).
  if [ ! -f "$folder/Server.Dat" ]; then
    build/ordertool-db init --server "$server" --demo
    printf '%s\r\n' "$server" > "$folder/Server.Dat"
  fi
fi
# A workbook of order lines to import into a special order.
cp -n tools/ordertool-db/samples/order-lines.xlsx "$folder/" 2>/dev/null || true
echo "Opening the $document order; 'scripts/demo.sh share' or 'scripts/demo.sh special' opens either."
cd "$folder"
exec ../build/ordertool "$menu" 1 NVKDC launcher "$mode"
