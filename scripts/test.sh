#!/usr/bin/env bash
# Builds everything and runs every test: the Windows builds (the i686 program
# that ships, and an x86-64 build of the same sources), whose tests run under
# Wine's WoW64 mode from a Debian sid root (scripts/wine-wow64.sh), the
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

# Wine for the Windows builds' tests: made once, in build/wine-wow64 (it says
# in one line why it cannot be made: no root, no package registry).
scripts/wine-wow64.sh
# polyview.exe for i686, importing nothing but Windows system libraries, and
# the same sources for x86-64. Their tests run below, held against the Linux
# build.
windows_builds=(windows windows-x64)
for preset in "${windows_builds[@]}"; do
  cmake --preset "$preset" -DPOLYVIEW_LINUX_BUILD="$PWD/build/default"
  cmake --build "build/$preset" -j"$jobs"
done
scripts/check-imports.sh build/windows/polyview.exe

# The model and texture-rule tests as 32-bit x86 code, as the Windows
# program ships: its scanner takes the x87 path and its count limit differs.
cmake --preset i386
cmake --build build/i386 -j"$jobs"
(cd build/i386 && ctest --output-on-failure -j"$jobs")

cmake --preset default
cmake --build build/default -j"$jobs"
run_tests build/default

# Each Windows build's tests under Wine: the unit tests, the scan and picture
# comparisons with the Linux build, the viewer end to end, and the zip, which
# holds the very program tested. They share one Wine prefix: one at a time.
for preset in "${windows_builds[@]}"; do
  (cd "build/$preset" && ctest --output-on-failure)
done

# The web build, its zip, and the page in headless Chromium; the frame is
# compared with polyview-tool snapshot from the build above.
cmake --preset web
cmake --build build/web -j"$jobs"
(cd build/web && ctest --output-on-failure)

cmake --preset sanitize
cmake --build build/sanitize -j"$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 run_tests build/sanitize

fuzz/run.sh "${POLYVIEW_FUZZ_SECONDS:-30}"
