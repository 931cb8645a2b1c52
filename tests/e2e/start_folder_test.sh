#!/usr/bin/env bash
# `polyview DIR`, started from another folder: the viewer works as if started
# in DIR, and F1 (here: the fallback question's Yes on a screen without
# 640x480, so windowed again) reloads from there; the close box ends it with
# status 0. A folder that cannot be entered gets an ERROR box before anything
# else, and exit status 1. The folder's name has a blank and quotes in it, so
# the start-up's quoting and the shell's splitting are tried too.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"
: "${X11_CLOSE:?}"

# start_viewer_with ARGUMENT: the viewer in $WORK, which holds no assets.
start_viewer_with() {
  (cd "$WORK" && exec timeout 60 "$POLYVIEW" "$1") >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
  VIEWER_PID=$!
}

start_xvfb 1024x768x24
dir=$(make_folder 'my "models"')
start_viewer_with "$dir"
answer_box "Start FullScreen?" Escape || fail "no start-up question"
wait_window "$TITLE" >/dev/null || fail "no viewer window"
wait_drawn || fail "no frame drawn from the folder's model"

# F1 reads the folder's model again.
write_white_triangle "$dir"
press F1
answer_box "Kelmo GL" Return || fail "no fallback question after F1"
wait_pixel 320 240 FFFFFF || fail "F1 did not read the model from the folder again"
[ -z "$(window_id "ERROR")" ] || fail "an error box after F1"
id=$(wait_window "$TITLE") || fail "no window after F1"
"$X11_CLOSE" "$id" || fail "could not send the close request"
wait_viewer 5
[ "$VIEWER_STATUS" = 0 ] || fail "exit status after the close box is $VIEWER_STATUS"
echo "PASS: polyview DIR, F1 reloads from DIR"

start_viewer_with "$WORK/no such folder"
wait_window "ERROR" >/dev/null || fail "no error box"
[ -z "$(window_id "Start FullScreen?")" ] || fail "the start-up question came before the error box"
answer_box "ERROR" Return
wait_viewer 5
[ "$VIEWER_STATUS" = 1 ] || fail "exit status after the error box is $VIEWER_STATUS, not 1"
[ -z "$(window_id "$TITLE")" ] || fail "a viewer window for a folder that does not exist"
echo "PASS: a folder that cannot be entered"
