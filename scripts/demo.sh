#!/usr/bin/env bash
# Installs what is missing, builds, creates the embedded demo server in demo/data (kept
# when it exists) and opens a document for demo user 1:
#   scripts/demo.sh           the share order
#   scripts/demo.sh special   the special order
set -euo pipefail
cd "$(dirname "$0")/.."
case "${1:-share}" in
  share) menu=101 mode=4 ;;
  special) menu=102 mode=5 ;;
  *)
    echo "usage: scripts/demo.sh [share|special]" >&2
    exit 2
    ;;
esac
scripts/build.sh
mkdir -p demo
if [ ! -d demo/data ]; then
  build/ordertool-db init --server sqlite:demo/data --demo
fi
# A workbook of order lines to import into a special order.
cp -n tools/ordertool-db/samples/order-lines.xlsx demo/ 2>/dev/null || true
echo "Opening the ${1:-share} order; 'scripts/demo.sh share' or 'scripts/demo.sh special' opens either."
cd demo
exec ../build/ordertool "$menu" 1 NVKDC launcher "$mode"
