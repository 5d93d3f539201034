#!/usr/bin/env bash
# Builds everything and runs the whole test suite, with a private PostgreSQL server for
# the tests that need one.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
if [ -f scripts/testdb.sh ]; then
  source scripts/testdb.sh
  testdb_start
  trap testdb_stop EXIT
fi
cd build
ctest --output-on-failure -j2 "$@"
