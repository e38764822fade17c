#!/usr/bin/env bash
# Builds and runs every benchmark; each prints "<figure>: <value> <unit>" lines.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
for b in build/bench/bench_*; do
  [ -x "$b" ] || continue
  echo "== $(basename "$b")"
  "$b"
done
