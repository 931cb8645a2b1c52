#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, the ASan + UBSan
# build, and a short fuzzing run. The end-to-end tests drive the real viewer
# on an Xvfb screen by timing; they get up to three tries each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

run_tests() {
  (cd "$1" && ctest --output-on-failure -j"$jobs" -LE e2e &&
     ctest --output-on-failure -L e2e --repeat until-pass:3)
}

cmake --preset default
cmake --build build/default -j"$jobs"
run_tests build/default

cmake --preset sanitize
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build/sanitize

fuzz/run.sh "${POLYVIEW_FUZZ_SECONDS:-30}"
