#!/usr/bin/env bash
# Builds everything and runs every test: the Windows builds (the i686 program,
# and an x86-64 build of the same sources whose tests run under Wine), the
# portable tests built for 32-bit x86 (run under qemu-user where the machine
# cannot run them), the normal build, the web build (its page in headless
# Chromium), the ASan + UBSan build, and a short fuzzing run. Every test runs
# once: none is retried.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
jobs=$(nproc)
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="

# The end-to-end tests each start X servers and viewers of their own: one at
# a time.
run_tests() {
  (cd "$1" && ctest --output-on-failure -j"$jobs" -LE e2e && ctest --output-on-failure -L e2e)
}

# polyview.exe for i686, importing nothing but Windows system libraries.
cmake --preset windows
cmake --build build/windows -j"$jobs"
scripts/check-imports.sh build/windows/polyview.exe
# Its zip (the rest of this build's tests need 32-bit Wine).
(cd build/windows && ctest --output-on-failure -R '^zip_package$')

# The same sources for x86-64, whose tests run under Wine here.
cmake --preset windows-x64
cmake --build build/windows-x64 -j"$jobs"
(cd build/windows-x64 && ctest --output-on-failure)

# The model and texture-rule tests as 32-bit x86 code, as the Windows
# program ships: its scanner takes the x87 path and its count limit differs.
cmake --preset i386
cmake --build build/i386 -j"$jobs"
(cd build/i386 && ctest --output-on-failure -j"$jobs")

cmake --preset default -DPOLYVIEW_WINDOWS_BUILD="$PWD/build/windows-x64"
cmake --build build/default -j"$jobs"
run_tests build/default

# The web build, its zip, and the page in headless Chromium; the frame is
# compared with polyview-tool snapshot from the build above.
cmake --preset web
cmake --build build/web -j"$jobs"
(cd build/web && ctest --output-on-failure)

cmake --preset sanitize
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build/sanitize

fuzz/run.sh "${POLYVIEW_FUZZ_SECONDS:-30}"
