#!/usr/bin/env bash
# An instant Esc tap (key-down and key-up sent back to back, as `xdotool key`
# does) ends the viewer with status 0 while it draws a 300,000-triangle
# model, whose frames under llvmpipe are long enough that both key messages
# wait in the queue behind one frame.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

start_xvfb 1024x768x24
dir=$(make_folder big)
"$(dirname "$0")/big_model.sh" 300000 >"$dir/poligon.m"
start_viewer "$dir"

answer_box "Start FullScreen?" Escape || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
wait_drawn 60 || fail "no frame drawn"
xdotool windowfocus --sync "$id" && xdotool key Escape
start=$(now_ms)
wait_viewer 30
[ "$VIEWER_STATUS" = 0 ] || fail "exit status after the Esc tap is $VIEWER_STATUS"
echo "PASS: an instant Esc tap on 300,000 triangles ended the viewer in $(($(now_ms) - start)) ms"
