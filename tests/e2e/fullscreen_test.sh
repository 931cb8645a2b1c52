#!/usr/bin/env bash
# On a 640x480x16 screen, which offers the requested mode: Yes gives a
# fullscreen window; F1 switches to windowed and back, loading texture and
# model anew at every switch; Esc ends the viewer with status 0. The time
# from Esc to the end is printed (aim: within a second); only a viewer that
# has not ended after 5 seconds fails. Without a window manager the fullscreen state itself leaves no mark
# on the X window (the platform tests check it in SDL): here the mode is
# accepted without the fallback question and the window covers the screen.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

prepare 640x480x16 example
launch Return
id=$(wait_window "$TITLE") || fail "no viewer window"
expect_window_at_origin "$id" 640 480
[ -z "$(window_id "Kelmo GL")" ] || fail "the mode was refused"
wait_drawn || fail "no frame drawn"

write_white_triangle "$DIR"
press F1
wait_pixel 320 240 FFFFFF || fail "the model was not read again after F1"
id=$(wait_window "$TITLE") || fail "no window after F1"
expect_window_at_origin "$id" 640 480

# F1 back to fullscreen makes the texture anew too.
write_green_texture "$DIR"
press F1
wait_pixel 320 240 00FF00 || fail "the texture was not made again after F1"
id=$(wait_window "$TITLE") || fail "no window after the second F1"
expect_window_at_origin "$id" 640 480
[ -z "$(window_id "Kelmo GL")" ] || fail "the mode was refused after the second F1"

start=$(now_ms)
press Escape
wait_viewer 5
echo "Esc to exit: $(($(now_ms) - start)) ms"
[ "$VIEWER_STATUS" = 0 ] || fail "exit status after Esc is $VIEWER_STATUS"
echo "PASS: fullscreen start, F1 both ways with reloads, Esc"
