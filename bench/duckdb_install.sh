#!/bin/bash
# Installs DuckDB's node package, the cores section's peer, into BUILD/duckdb-bench (never
# into the sources, never linked into the program). Usage: duckdb_install.sh BUILD
set -euo pipefail
dir="$1/duckdb-bench"
mkdir -p "$dir"
[ -d "$dir/node_modules/@duckdb/node-api" ] && exit 0
npm install --prefix "$dir" --no-save --no-audit --no-fund --loglevel=error \
    @duckdb/node-api@1.5.6-r.1 >&2
