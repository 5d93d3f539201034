#!/usr/bin/env bash
# Builds everything and runs the whole test suite, with private PostgreSQL and MariaDB
# servers for the tests that need them. `--quick` runs only the tests labelled quick (no
# servers, no external readers, nothing slow; tests/CMakeLists.txt names the tiers) and
# starts no server. Other arguments go to ctest.
set -euo pipefail
cd "$(dirname "$0")/.."
quick=0
if [ "${1:-}" = "--quick" ]; then
  quick=1
  shift
fi
bash scripts/build.sh
# Tests never reach the desktop's own secret store; the secret store tests start their own.
export DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/reportgen-tests"
if [ "$quick" = 1 ]; then
  cd build
  exec ctest --output-on-failure -j2 -L '^quick$' "$@"
fi
if [ -f scripts/testdb.sh ]; then
  source scripts/testdb.sh
  # Set first, so that a server already started is stopped when the other one fails.
  trap testdb_stop EXIT
  testdb_start
fi
cd build
ctest --output-on-failure -j2 "$@"
