#!/usr/bin/env bash
# The whole check, as CI runs it: the optimised build with warnings as
# errors and its test suite, then the same sources under AddressSanitizer +
# UndefinedBehaviorSanitizer and under ThreadSanitizer.
set -euo pipefail
cd "$(dirname "$0")/.."

step() { printf '\n=== %s ===\n' "$1"; }

step "release build and tests"
cmake --workflow --preset ci

step "AddressSanitizer + UndefinedBehaviorSanitizer"
cmake --workflow --preset asan-ubsan

step "ThreadSanitizer (threaded tests)"
cmake --workflow --preset tsan

step "all checks passed"
