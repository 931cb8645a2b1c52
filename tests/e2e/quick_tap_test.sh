#!/usr/bin/env bash
# An instant Esc tap (key-down and key-up sent back to back, as `xdotool key`
# does) ends the viewer with status 0 while it draws a 300,000-triangle
# model, whose frames under llvmpipe are long enough that both key messages
# wait in the queue behind one frame.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

tap_escape_on_big_model
start=$(now_ms)
wait_viewer 30
[ "$VIEWER_STATUS" = 0 ] || fail "exit status after the Esc tap is $VIEWER_STATUS"
echo "PASS: an instant Esc tap on 300,000 triangles ended the viewer in $(($(now_ms) - start)) ms"
