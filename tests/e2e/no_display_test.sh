#!/usr/bin/env bash
# Without a display the boxes go to standard error, the build fails at window
# creation after a line that says why, and the viewer ends with 0 at once.
set -euo pipefail
: "${POLYVIEW:?}" "${EXAMPLES:?}"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$EXAMPLES"/* "$work/"

status=0
(cd "$work" && env -u DISPLAY -u WAYLAND_DISPLAY timeout 20 "$POLYVIEW") >"$work/out" 2>"$work/err" || status=$?
cat "$work/err"
[ "$status" = 0 ] || { echo "FAIL: exit status $status"; exit 1; }
expect_line() {
  grep -qF -- "$1" "$work/err" || { echo "FAIL: no line '$1' on standard error"; exit 1; }
}
expect_line "Start FullScreen?: Would You Like To Run In Fullscreen Mode?"
expect_line "No window can be made"
expect_line "ERROR: Window Creation Error."
[ "$(grep -n 'No window can be made' "$work/err" | cut -d: -f1)" -lt \
  "$(grep -n 'Window Creation Error' "$work/err" | cut -d: -f1)" ] || { echo "FAIL: order of the lines"; exit 1; }
echo "PASS: no display"
