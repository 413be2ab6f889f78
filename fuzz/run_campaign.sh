#!/usr/bin/env bash
# A fuzzing campaign outside the normal suite: builds the libFuzzer targets
# (the "fuzz" preset: clang, ASan + UBSan, libsecp256k1 as the differential
# oracle when installed), runs every target for SECONDS seconds from a copy
# of its seed corpus, two at a time, and reports
#   T targets x S s, C crashes, R sanitizer reports, M mismatches
# Findings (the inputs that failed) are kept under the work directory.
#
#   fuzz/run_campaign.sh [SECONDS] [WORK_DIR] [TARGET...]
#                                  defaults: 60, build/fuzz-campaign, all targets
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
work=${2:-build/fuzz-campaign}
jobs=2

cmake --preset fuzz >/dev/null
cmake --build --preset fuzz

# Every fuzz/<name>.cpp is a target, as fuzz/CMakeLists.txt finds them, or
# only the targets named after the work directory.
targets=$(ls fuzz/*.cpp | xargs -n1 basename | sed 's/\.cpp$//' | grep -v -e '^replay_main$' -e '^make_corpus$')
if (($# > 2)); then targets="${*:3}"; fi

rm -rf "$work"
mkdir -p "$work/table-cache"
export SECP256K1_WINDOW_BITS=8 SECP256K1_CACHE_DIR="$PWD/$work/table-cache"
export ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

run_one() {
  local t=$1
  local dir="$work/$t"
  mkdir -p "$dir/corpus" "$dir/findings"
  cp fuzz/corpus/"$t"/* "$dir/corpus/"
  # libFuzzer adds what it learns to the first directory only: the copy.
  set +e
  "build/fuzz/fuzz/fuzz_$t" -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix="$dir/findings/" "$dir/corpus" >"$dir/log" 2>&1
  echo $? >"$dir/rc"
}

pids=()
for t in $targets; do
  run_one "$t" &
  pids+=($!)
  if ((${#pids[@]} >= jobs)); then
    wait "${pids[0]}"
    pids=("${pids[@]:1}")
  fi
done
wait

count=0 crashes=0 reports=0 mismatches=0
for t in $targets; do
  count=$((count + 1))
  dir="$work/$t"
  rc=$(cat "$dir/rc")
  runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$dir/log")
  corpus=$(ls "$dir/corpus" | wc -l)
  status=ok
  if grep -q '^MISMATCH' "$dir/log"; then
    mismatches=$((mismatches + 1)); status=MISMATCH
  elif grep -qE 'ERROR: (AddressSanitizer|LeakSanitizer)|runtime error:' "$dir/log"; then
    reports=$((reports + 1)); status="SANITIZER REPORT"
  elif [ "$rc" != 0 ]; then
    crashes=$((crashes + 1)); status="CRASH (exit $rc)"
  fi
  printf '%-16s %10s runs  corpus %5s  %s\n' "$t" "${runs:-?}" "$corpus" "$status"
done
oracle=$(grep -q 'QORVEX_FUZZ_ORACLE=1' build/fuzz/build.ninja && echo "with the libsecp256k1 oracle" ||
  echo "WITHOUT the oracle")
echo "$count targets x $seconds s ($oracle), $crashes crashes, $reports sanitizer reports, $mismatches mismatches"
echo "logs and findings: $work/<target>/"
[ $((crashes + reports + mismatches)) -eq 0 ]
