#!/usr/bin/env bash
# On a 1024x768x24 screen, which does not offer 640x480: Yes to the start-up
# question brings the fallback question ("Kelmo GL"), whose Yes goes on
# windowed; F1 asks for fullscreen again, and No to the fallback question
# ends the viewer with "Program Will Now Close." and status 0.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

prepare 1024x768x24 example
launch Return
answer_box "Kelmo GL" Return || fail "no fallback question"
id=$(wait_window "$TITLE") || fail "no viewer window after the fallback"
expect_window_at_origin "$id" 640 480
wait_drawn || fail "no frame drawn"

press F1
wait_gone "$TITLE" 5 || fail "the window stayed up while the mode was asked for"
answer_box "Kelmo GL" Escape || fail "no fallback question after F1"
answer_box "ERROR" Return || fail "no closing box"
wait_viewer 5
[ "$VIEWER_STATUS" = 0 ] || fail "exit status is $VIEWER_STATUS"
echo "PASS: fallback question, Yes and No"
