#!/usr/bin/env bash
# Builds everything and runs every test: the normal build, the ASan + UBSan
# build, and a short fuzzing run.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)

cmake --preset default
cmake --build build/default -j"$jobs"
(cd build/default && ctest --output-on-failure -j"$jobs")

cmake --preset sanitize
cmake --build build/sanitize -j"$jobs"
(cd build/sanitize && ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
   ctest --output-on-failure -j"$jobs")

if [ -x fuzz/run.sh ]; then
  fuzz/run.sh "${POLYVIEW_FUZZ_SECONDS:-30}"
fi
