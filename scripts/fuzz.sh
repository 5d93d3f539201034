#!/usr/bin/env bash
# Runs every libFuzzer harness of tests/fuzz (or those named) for SECONDS each, niced.
#   scripts/fuzz.sh SECONDS [HARNESS...]
# Builds with clang into build-fuzz/ (RG_FUZZ=ON: address and undefined behaviour
# sanitizers). Each run starts from the seeds in tests/fuzz/corpus/NAME, which it never
# changes; what it learns goes to build-fuzz/corpus/NAME, and each input that broke the
# harness to build-fuzz/crashes/NAME/. A run goes on after a fault, so one known fault
# does not hide the others; the summary gives the inputs run and the faults per harness.
# An input that once failed belongs in tests/fuzz/corpus/NAME once it is fixed: the
# ordinary suite replays that folder.
set -euo pipefail
cd "$(dirname "$0")/.."

all=(settings connstring datalink filter numberpattern decimal groupinterval commandline serverfilter)
if [ $# -lt 1 ] || ! [[ $1 =~ ^[1-9][0-9]*$ ]]; then
  echo "usage: $0 SECONDS [HARNESS...]   harnesses: ${all[*]} (default: all)" >&2
  exit 2
fi
seconds=$1
shift
harnesses=("$@")
[ ${#harnesses[@]} -gt 0 ] || harnesses=("${all[@]}")

bash scripts/install-deps.sh --fuzz
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
[ -f build-fuzz/CMakeCache.txt ] ||
  CC=clang CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=Release -DRG_FUZZ=ON "${launcher[@]}"
nice cmake --build build-fuzz -j2 --target "${harnesses[@]/#/fuzz_}"

export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1}

summary=()
failed=0
for h in "${harnesses[@]}"; do
  work=build-fuzz/corpus/$h crashes=build-fuzz/crashes/$h log=build-fuzz/fuzz-$h.log
  mkdir -p "$work" "$crashes"
  before=$(find "$crashes" -type f | wc -l)
  echo "fuzz: $h for $seconds s (log $log)"
  # These keep memory from one input to the next outside the harness (the ODBC driver
  # manager's caches among them), and libFuzzer would then look for leaks after nearly
  # every input, which makes them up to ten times slower.
  leaks=1
  case $h in settings | connstring | datalink) leaks=0 ;; esac
  dict=()
  [ -f "tests/fuzz/$h.dict" ] && dict=(-dict="../tests/fuzz/$h.dict")
  # -fork=1 runs the inputs in a child and starts a new one after a fault.
  (cd build-fuzz && nice -n 10 "./fuzz_$h" -fork=1 -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
     -detect_leaks=$leaks -timeout=20 -rss_limit_mb=2048 -max_total_time="$seconds" "${dict[@]}" \
     -artifact_prefix="crashes/$h/" "corpus/$h" "../tests/fuzz/corpus/$h") >"$log" 2>&1 || true
  runs=$(grep -oE '^#[0-9]+' "$log" | tail -1 | tr -d '#')
  found=$(($(find "$crashes" -type f | wc -l) - before))
  [ "$found" -eq 0 ] || failed=1
  summary+=("$(printf '%-14s %12s inputs  %3d new faults' "$h" "${runs:-?}" "$found")")
done
printf '%s\n' "${summary[@]}"
[ $failed -eq 0 ] || echo "fuzz: faults in build-fuzz/crashes/ (reproduce: build-fuzz/fuzz_NAME FILE)"
exit $failed
