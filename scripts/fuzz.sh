#!/bin/sh
# Fuzzes the tree file loader for $1 seconds (default 60) on a temporary copy of the seed corpus.
set -eu
seconds=${1:-60}
root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DVELNOREX_FUZZ=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target treefile_fuzzer
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp "$root"/fuzz/corpus/* "$corpus"/
"$build/bin/treefile_fuzzer" -max_total_time="$seconds" -max_len=65536 "$corpus"
