#!/usr/bin/env bash
# The zip made from a Windows build holds the very program of the build, byte
# for byte: the polyview.exe that the tests run is the one that ships.
# Usage: zip_program_test.sh CPACK BUILD_DIR PROGRAM
set -euo pipefail
cpack=$1 build=$2 program=$3
work=$build/package-test/zip-program
rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$build" && "$cpack" -G ZIP -B "$work" >"$work/cpack.log" 2>&1) || { cat "$work/cpack.log"; echo "FAIL: cpack -G ZIP"; exit 1; }
zips=("$work"/*.zip)
[ "${#zips[@]}" = 1 ] && [ -f "${zips[0]}" ] || { echo "FAIL: cpack made no single zip in $work"; exit 1; }
(cd "$work/unpacked" && cmake -E tar xf "${zips[0]}")
shipped=("$work"/unpacked/*/polyview.exe)
[ -f "${shipped[0]}" ] || { echo "FAIL: no polyview.exe in ${zips[0]##*/}"; exit 1; }
cmp "$program" "${shipped[0]}" || { echo "FAIL: the zip's polyview.exe is not $program"; exit 1; }
echo "PASS: ${zips[0]##*/} holds $program ($(sha256sum <"$program" | cut -c1-16)..., $(stat -c %s "$program") bytes)"
