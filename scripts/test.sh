#!/usr/bin/env bash
# Builds everything and runs the whole test suite, with private PostgreSQL and MariaDB
# servers for the tests that need them.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -f scripts/testdb.sh ]; then
  source scripts/testdb.sh
  # Set first, so that a server already started is stopped when the other one fails.
  trap testdb_stop EXIT
  testdb_start
fi
cd build
ctest --output-on-failure -j2 "$@"
