#!/usr/bin/env bash
# The viewer under a window manager (the argument: openbox or fluxbox), which
# decides when a window becomes viewable, who holds the focus and how
# fullscreen is done: No at the start-up question (the picture of the
# snapshot, the close box); Yes on a 640x480x16 screen (fullscreen, F1 to
# windowed and back with reloads, Esc); and the ERROR box of a folder without
# "Wall.bmp". With POLYVIEW_EXE set, the Windows program under Wine (on PATH,
# as scripts/wine-wow64.sh puts it), otherwise POLYVIEW. Wine itself hangs
# in its message retrieval once a window covers the whole screen under a
# window manager (the README's Windows section), so under Wine Yes is answered
# on a screen without 640x480 instead: the fallback question, windowed, F1,
# the fallback question again, No and the closing box.
set -euo pipefail
export E2E_WM=${1:?usage: window_manager_test.sh openbox|fluxbox}
POLYVIEW=${POLYVIEW_EXE:-${POLYVIEW:-}}
. "$(dirname "$0")/e2e_common.sh"
require_tools "$E2E_WM" xprop
: "${POLYVIEW_TOOL:?}" "${X11_CLOSE:?}"
[ -z "${POLYVIEW_EXE:-}" ] || use_wine

# Scenarios that ran to their end, counted: a Wine that cannot load the
# program may still end with status 0.
passed=0
pass() {
  passed=$((passed + 1))
  echo "PASS: $E2E_WM: $*"
}

ended_with() {
  wait_viewer 20
  [ "$VIEWER_STATUS" = "$1" ] || fail "exit status $VIEWER_STATUS, not $1"
  [ -z "${POLYVIEW_EXE:-}" ] || wineserver -w
  stop_xvfb
}

# wait_centre ID RRGGBB: waits until the centre of the window's client area
# shows that colour (the window manager decides where the area lies).
wait_centre() {
  local x y width height
  read -r x y width height <<<"$(window_geometry "$1")"
  wait_pixel $((x + width / 2)) $((y + height / 2)) "$2"
}

# --- No: windowed, the picture of the snapshot, the close box -------------
prepare 1024x768x24 windowed
"$POLYVIEW_TOOL" snapshot --dir "$DIR" --out "$WORK/snapshot.png"
launch "$ANSWER_NO"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
[ "$(window_geometry "$id" | awk '{ print $3 "x" $4 }')" = 640x480 ] ||
  fail "client area is $(window_geometry "$id"), not 640x480"
stable_shot "$id" "$WORK/window.png" 20 || fail "no steady picture"
differ=$(differing_pixels "$WORK/window.png" "$WORK/snapshot.png")
echo "window against snapshot: $differ of 307200 pixels differ"
[ "$differ" -lt 1536 ] || fail "the window's picture differs from the snapshot in $differ pixels"
"$X11_CLOSE" "$id" || fail "could not send the close request"
ended_with 0
pass "windowed, picture as the snapshot, close box"

fullscreen() {
  prepare 640x480x16 fullscreen
  launch Return
  id=$(wait_window "$TITLE" 30) || fail "no viewer window"
  [ -z "$(window_id "Kelmo GL")" ] || fail "the mode was refused"
  expect_window_at_origin "$id" 640 480
  wait_drawn 20 || fail "no frame drawn in fullscreen"
  write_white_triangle "$DIR"
  xdotool windowfocus --sync "$id" && press F1
  id=$(wait_new_window "$id") || fail "F1 made no windowed window"
  wait_centre "$id" FFFFFF || fail "the model was not read again after F1"
  write_green_texture "$DIR"
  xdotool windowfocus --sync "$id" && press F1
  id=$(wait_new_window "$id") || fail "the second F1 made no fullscreen window"
  expect_window_at_origin "$id" 640 480
  wait_pixel 320 240 00FF00 || fail "the texture was not made again after the second F1"
  xdotool windowfocus --sync "$id" && press Escape
  ended_with 0
  pass "fullscreen, F1 to windowed and back with reloads, Esc"
}

fallback() {
  prepare 1024x768x24 fallback
  launch Return
  answer_box "Kelmo GL" Return || fail "no fallback question"
  id=$(wait_window "$TITLE" 30) || fail "no window after the fallback"
  write_white_triangle "$DIR"
  xdotool windowfocus --sync "$id" && press F1
  answer_box "Kelmo GL" Return || fail "no fallback question after F1"
  id=$(wait_new_window "$id") || fail "no window after the second fallback"
  wait_centre "$id" FFFFFF || fail "the model was not read again after F1"
  xdotool windowfocus --sync "$id" && press F1
  answer_box "Kelmo GL" "$ANSWER_NO" || fail "no fallback question after the second F1"
  answer_box "ERROR" Return || fail "no closing box after the fallback's No"
  ended_with 0
  pass "fallback Yes, windowed, F1 with a reload, fallback No, closing box"
}

# --- Yes: fullscreen on the Linux viewer, the fallback under Wine ---------
if [ -z "${POLYVIEW_EXE:-}" ]; then fullscreen; else fallback; fi

# --- No "Wall.bmp": the Initialization Failed. box, then status 0 --------
prepare 1024x768x24 missing
rm "$DIR/Wall.bmp"
launch "$ANSWER_NO"
answer_box "ERROR" Return || fail "no error box"
ended_with 0
pass "missing texture, error box, status 0"

[ "$passed" = 3 ] || fail "$passed of 3 scenarios ran"
echo "PASS: all 3 scenarios under $E2E_WM against ${POLYVIEW##*/}"
