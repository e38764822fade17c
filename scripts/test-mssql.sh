#!/usr/bin/env bash
# Runs the database layer's contract suite and both documents' end-to-end tests against a real
# SQL Server (none can run on the build machines):
#
#   scripts/test-mssql.sh SERVER [LOGIN [PASSWORD]]
#
# SERVER as Server.Dat names it (SQLSRV01, host\instance, host,port). LOGIN (default sa, or
# ORDERTOOL_TEST_MSSQL_USER) must be allowed to create and drop databases and logins; the
# password comes from the argument or ORDERTOOL_TEST_MSSQL_PASSWORD. The tests drop and make
# the databases QRV_CONFIG_NVK, NVKDC, NVK, NVKTRANSFER and NVKBRANCH, load the demo script
# of `ordertool-db script --kind mssql --demo --force` (which also makes the program's login
# qrv) and connect as the program does. Use a test server, never the chain's.
set -euo pipefail
if [ $# -lt 1 ] || [ -z "$1" ]; then
  echo "usage: scripts/test-mssql.sh SERVER [LOGIN [PASSWORD]]" >&2
  exit 2
fi
cd "$(dirname "$0")/.."
scripts/build.sh
export QT_QPA_PLATFORM=offscreen
export ORDERTOOL_TEST_MSSQL="$1"
export ORDERTOOL_TEST_MSSQL_USER="${2:-${ORDERTOOL_TEST_MSSQL_USER:-sa}}"
export ORDERTOOL_TEST_MSSQL_PASSWORD="${3:-${ORDERTOOL_TEST_MSSQL_PASSWORD:-}}"
# The suites skip, saying why, when they cannot reach the server; here a skip is a failure.
status=0
for t in test_db_contract test_documents_on_servers test_statements_on_engines; do
  out=$(build/tests/$t --gtest_filter='Engines/DbContract.*Mssql*:Servers/Documents.*Mssql:Engines/StatementsOnEngines.*Mssql' 2>&1) || status=1
  echo "$out"
  if echo "$out" | grep -q '\[  SKIPPED \]'; then
    status=1
  fi
done
exit $status
