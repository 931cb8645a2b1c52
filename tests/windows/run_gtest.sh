#!/usr/bin/env bash
# The Windows builds' test runner (their CMAKE_CROSSCOMPILING_EMULATOR): runs
# a GoogleTest program under the WoW64 Wine of scripts/wine-wow64.sh and
# passes only when gtest's own XML report counts tests that ran, and none
# failed. Wine's exit status alone proves nothing: a Wine that cannot load
# the program may still end with 0.
# Usage: run_gtest.sh PROGRAM.EXE [ARG...]
set -euo pipefail
program=$1
shift
export WINEDEBUG=${WINEDEBUG--all} WINEDLLOVERRIDES=${WINEDLLOVERRIDES-mscoree,mshtml=}
report=$(mktemp -u --suffix=.xml)
trap 'rm -f "$report"' EXIT
status=0
"$(dirname "$0")/../../scripts/wine-wow64.sh" wine "$program" --gtest_output="xml:Z:${report//\//\\}" "$@" ||
  status=$?
totals=$(grep -m1 -o '<testsuites [^>]*>' "$report" 2>/dev/null) ||
  { echo "FAIL: ${program##*/} left no GoogleTest report (exit status $status): it did not run under Wine"; exit 1; }
failed=$(($(sed -n 's/.* failures="\([0-9]*\)".* errors="\([0-9]*\)".*/\1 + \2/p' <<<"$totals")))
ran=$(grep -c 'result="completed"' "$report" || true)
skipped=$(grep -c 'result="skipped"' "$report" || true)
echo "${program##*/} under Wine: $((ran - failed)) tests passed, $failed failed, $skipped skipped; exit status $status"
[ "$ran" -gt 0 ] && [ "$failed" = 0 ] && [ "$status" = 0 ]
