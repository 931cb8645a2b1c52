#!/usr/bin/env bash
# The Windows build scans every line exactly as the Linux build does: both
# scan_table programs print their results for the same generated lines.
# Usage: scan_same_on_windows.sh LINUX_SCAN_TABLE WINDOWS_SCAN_TABLE.EXE
set -euo pipefail
linux=$1 windows=$2
command -v wine >/dev/null || { echo "SKIPPED: wine is not installed"; exit 77; }
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$linux" --generate 200000 20261207 >"$work/lines.txt"
"$linux" "$work/lines.txt" >"$work/linux.txt"
(cd "$work" && wine "$windows" lines.txt) | tr -d '\r' >"$work/windows.txt"
lines=$(wc -l <"$work/linux.txt")
[ "$lines" -eq 200000 ] || { echo "FAIL: Linux gave $lines result lines"; exit 1; }
if ! cmp -s "$work/linux.txt" "$work/windows.txt"; then
  echo "FAIL: the builds differ; first differences (line: Linux / Windows):"
  diff "$work/linux.txt" "$work/windows.txt" | head -n 10
  paste -d '\n' <(diff --unchanged-line-format= --old-line-format='%dn ' --new-line-format= \
    "$work/linux.txt" "$work/windows.txt" | tr ' ' '\n' | head -n 5 | sed 's/$/p/' | tr '\n' ';' |
    xargs -I{} sed -n {} "$work/lines.txt") /dev/null | head -n 5
  exit 1
fi
echo "PASS: $lines lines scanned alike by both builds"
