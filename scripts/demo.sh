#!/usr/bin/env bash
# Installs what is missing, builds, creates the embedded demo server in demo/data
# (kept when it exists) and opens the share order for demo user 1.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/build.sh
mkdir -p demo
if [ ! -d demo/data ]; then
  build/ordertool-db init --server sqlite:demo/data --demo
fi
cd demo
exec ../build/ordertool 101 1 NVKDC launcher 4
