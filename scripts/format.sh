#!/usr/bin/env bash
# Formats every C++ source with the repository's .clang-format; with --check, changes nothing
# and fails listing the files that are not formatted.
set -euo pipefail
cd "$(dirname "$0")/.."
command -v clang-format >/dev/null || bash scripts/install-deps.sh
mapfile -d '' files < <(git ls-files -z -- '*.cpp' '*.h')
if [ "${1:-}" = "--check" ]; then
    bad=()
    for f in "${files[@]}"; do
        clang-format --dry-run --Werror "$f" >/dev/null 2>&1 || bad+=("$f")
    done
    if [ ${#bad[@]} -gt 0 ]; then
        printf 'Not formatted (run bash scripts/format.sh):\n' >&2
        printf '  %s\n' "${bad[@]}" >&2
        exit 1
    fi
else
    clang-format -i "${files[@]}"
fi
