#!/usr/bin/env bash
# Builds and runs every benchmark; each prints "<figure>: <value> <unit>" lines. The share
# order's figures are printed for the embedded server and for a throw-away PostgreSQL server
# side by side, both holding the large company.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
work=$(mktemp -d)
chmod 755 "$work"
pg=""
cleanup() {
  [ -n "$pg" ] && scripts/pg-scratch.sh stop "$work/pg" || true
  rm -rf "$work"
}
trap cleanup EXIT
echo "== building the large company on both servers"
build/ordertool-db init --server "sqlite:$work/data" --scale >/dev/null
pg=$(scripts/pg-scratch.sh start "$work/pg")
build/ordertool-db init --server "$pg" --scale >/dev/null
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  case "$(basename "$b")" in
  bench_share_order) "$b" "$work/data" "$pg" ;;
  *) "$b" ;;
  esac
done
