#!/usr/bin/env bash
# Builds velnorex and runs the whole test suite: once in a normal build, then the definition-file fuzzer for
# about a minute, then the suite again under AddressSanitizer and UBSan.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh

jobs=$(nproc)
fuzz_seconds=${VELNOREX_FUZZ_SECONDS:-60}

run_suite() {
  local dir=$1; shift
  cmake -S . -B "$dir" -G Ninja "$@"
  cmake --build "$dir" -j "$jobs"
  ctest --test-dir "$dir" --output-on-failure -j "$jobs" --timeout 300
}

echo "== Build and test =="
run_suite build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVELNOREX_BENCH=ON

echo "== Fuzz the definition-file loader for ${fuzz_seconds} s =="
# The fuzzer's progress lines go to a file; all of it is shown when it finds something.
if ! bash scripts/fuzz.sh "$fuzz_seconds" > build/fuzz.log 2>&1; then
  cat build/fuzz.log
  exit 1
fi
tail -n 3 build/fuzz.log

echo "== Build and test under AddressSanitizer and UBSan =="
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  LSAN_OPTIONS=suppressions=$PWD/scripts/lsan.supp \
  run_suite build-asan -DCMAKE_BUILD_TYPE=Debug -DVELNOREX_SANITIZE=ON -DVELNOREX_BENCH=OFF
