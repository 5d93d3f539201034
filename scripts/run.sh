#!/usr/bin/env bash
# Builds the program and starts it on its embedded demo database.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
exec ./build/reportgen "$@"
