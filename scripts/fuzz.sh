#!/usr/bin/env bash
# Fuzzes the doors that take outside input with libFuzzer (clang): every harness, or the ones named, each for
# SECONDS (default 20), up to JOBS at a time (default 1).
#
#   scripts/fuzz.sh [-j JOBS] [SECONDS] [HARNESS...]
#   harnesses: treefile replies ini definition number_text mbap_replies
#
# Each harness works on its own corpus, build-fuzz/corpus/<name>, seeded from fuzz/corpus/<name> and kept
# between runs; its progress goes to build-fuzz/logs/<name>.log. An input that breaks an invariant or trips a
# sanitizer is saved as build-fuzz/findings/<name>-crash-* (or -leak-, -timeout-, -oom-); a fix then gets that
# input in fuzz/corpus/<name>/, where the ordinary test suite replays it. Exit 0: no finding; 1: a finding;
# 2: wrong arguments or a failed build.
set -euo pipefail

all=(treefile replies ini definition number_text mbap_replies)
usage() {
  sed -n '2,/^set /{/^#/p}' "$0" | sed 's/^# \{0,1\}//'
}

jobs=1
seconds=20
names=()
while [ $# -gt 0 ]; do
  case $1 in
    -h | --help) usage; exit 0 ;;
    -j) [ $# -ge 2 ] || { usage >&2; exit 2; }; jobs=$2; shift 2 ;;
    -j*) jobs=${1#-j}; shift ;;
    *[!0-9]*) names+=("$1"); shift ;;
    *) seconds=$1; shift ;;
  esac
done
[ ${#names[@]} -gt 0 ] || names=("${all[@]}")
for name in "${names[@]}"; do
  case " ${all[*]} " in
    *" $name "*) ;;
    *) echo "fuzz.sh: no harness \"$name\" (there are: ${all[*]})" >&2; exit 2 ;;
  esac
done
case $jobs in '' | *[!0-9]* | 0) echo "fuzz.sh: -j needs a positive number" >&2; exit 2 ;; esac

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build-fuzz"
# Longest input worth trying per harness: a reply fills at most a 128-byte buffer, a TCP stream holds a few
# ADUs of up to 260 bytes, a settings file or a number text is short, definitions and tree files are larger.
max_len() {
  case $1 in
    replies) echo 600 ;;
    mbap_replies) echo 1200 ;;
    ini) echo 512 ;;
    number_text) echo 256 ;;
    definition) echo 8192 ;;
    *) echo 65536 ;;
  esac
}

targets=()
for name in "${names[@]}"; do targets+=("${name}_fuzzer"); done
if ! { CXX=${CXX:-clang++} cmake -S "$root" -B "$build" -G Ninja -DVELNOREX_FUZZ=ON \
         -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null &&
       cmake --build "$build" --target "${targets[@]}"; }; then
  echo "fuzz.sh: the fuzzing build failed" >&2
  exit 2
fi
mkdir -p "$build/logs" "$build/findings"

run_one() {
  local name=$1 corpus="$build/corpus/$1" log="$build/logs/$1.log"
  local options=(-max_total_time="$seconds" -max_len="$(max_len "$name")" -timeout=25 -print_final_stats=1
                 -artifact_prefix="$build/findings/$name-")
  [ -f "$root/fuzz/$name.dict" ] && options+=(-dict="$root/fuzz/$name.dict")
  mkdir -p "$corpus"
  cp -n "$root/fuzz/corpus/$name/"* "$corpus/" 2>/dev/null || true
  local status=0
  "$build/bin/${name}_fuzzer" "${options[@]}" "$corpus" >"$log" 2>&1 || status=$?
  echo "$status" >"$build/logs/$name.status"
}

summary() {
  local name=$1 status=$2 log="$build/logs/$1.log"
  local runs rate files
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
  rate=$(sed -n 's/^stat::average_exec_per_sec: *//p' "$log" | tail -n 1)
  files=$(find "$build/corpus/$name" -type f | wc -l)
  if [ "$status" -eq 0 ]; then
    echo "$name: ${runs:-?} runs in ${seconds} s (${rate:-?}/s), corpus $files inputs, no finding"
  else
    echo "$name: FINDING (exit $status) after ${runs:-?} runs; log $log:"
    grep -E 'ERROR|invariant broken|SUMMARY|Test unit written|^ *#[0-9]+ 0x' "$log" | head -n 40 || tail -n 40 "$log"
  fi
}

declare -A pid_of=()
failed=0
finish() {
  local name=$1 status
  wait "${pid_of[$name]}" 2>/dev/null || true
  unset "pid_of[$name]"
  status=$(cat "$build/logs/$name.status" 2>/dev/null || echo 2)
  summary "$name" "$status"
  [ "$status" -eq 0 ] || failed=1
}
for name in "${names[@]}"; do
  while [ ${#pid_of[@]} -ge "$jobs" ]; do
    wait -n 2>/dev/null || true
    for running in "${!pid_of[@]}"; do
      kill -0 "${pid_of[$running]}" 2>/dev/null || finish "$running"
    done
  done
  rm -f "$build/logs/$name.status"
  run_one "$name" &
  pid_of[$name]=$!
done
for running in "${!pid_of[@]}"; do finish "$running"; done
exit "$failed"
