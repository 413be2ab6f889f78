#!/usr/bin/env bash
# The whole check, as CI runs it: the optimised build with warnings as
# errors and its test suite (with the fuzz corpus replays, the fault,
# allocation-failure and export-coverage tests), the same sources under
# AddressSanitizer + UndefinedBehaviorSanitizer and under ThreadSanitizer,
# and the constant-time check under valgrind with the field back end as
# dispatched and with BMI2+ADX forced. docs/security-checks.md has the
# details; the fuzzing campaign (fuzz/run_campaign.sh) runs outside it.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n=== %s ===\n' "$1"; }
start=$SECONDS

step "release build and tests"
cmake --workflow --preset ci

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --workflow --preset asan-ubsan

step "ThreadSanitizer (threaded tests)"
cmake --workflow --preset tsan

step "constant-time check under valgrind (back ends as dispatched)"
cmake --workflow --preset ctime

step "constant-time check under valgrind (BMI2+ADX field back end forced)"
if grep -qw adx /proc/cpuinfo && grep -qw bmi2 /proc/cpuinfo; then
  cmake --workflow --preset ctime-adx
else
  echo "this processor has no BMI2+ADX: the forced back end cannot run here"
fi

step "all checks passed in $((SECONDS - start)) s"
