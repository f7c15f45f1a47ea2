#!/usr/bin/env bash
# Builds velnorex and runs the whole test suite: once in a normal build, then every fuzz harness for 20 s
# (as many at a time as there are cores), then the suite again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${VELNOREX_FUZZ_SECONDS:-20}

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== Build and test =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOREX_BENCH=ON

echo "== Fuzz every door for ${fuzz_seconds} s each =="
# The build's and the fuzzers' progress go to files (build/fuzz.log, build-fuzz/logs/); the log is shown
# when something is found, else one line per harness.
if ! bash scripts/fuzz.sh -j "$jobs" "$fuzz_seconds" > build/fuzz.log 2>&1; then
  cat build/fuzz.log
  exit 1
fi
grep -E '^[a-z_]+: [0-9?]+ runs' build/fuzz.log

echo "== Build and test under AddressSanitizer and UBSan =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVELNOREX_SANITIZE=ON -DVELNOREX_BENCH=OFF
