#!/usr/bin/env bash
# Builds everything and runs every test: the Windows builds (the i686 program,
# and an x86-64 build of the same sources whose tests run under Wine), the
# normal build, the ASan + UBSan build, and a short fuzzing run. The
# end-to-end tests drive the real viewer on Xvfb screens by timing; they get
# up to three tries each.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

run_tests() {
  (cd "$1" && ctest --output-on-failure -j"$jobs" -LE e2e &&
     ctest --output-on-failure -L e2e --repeat until-pass:3)
}

# polyview.exe for i686, importing nothing but Windows system libraries.
cmake --preset windows
cmake --build build/windows -j"$jobs"
scripts/check-imports.sh build/windows/polyview.exe

# The same sources for x86-64, whose tests run under Wine here.
cmake --preset windows-x64
cmake --build build/windows-x64 -j"$jobs"
(cd build/windows-x64 && ctest --output-on-failure)

cmake --preset default -DPOLYVIEW_WINDOWS_BUILD="$PWD/build/windows-x64"
cmake --build build/default -j"$jobs"
run_tests build/default

cmake --preset sanitize
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build/sanitize

fuzz/run.sh "${POLYVIEW_FUZZ_SECONDS:-30}"
