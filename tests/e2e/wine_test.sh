#!/usr/bin/env bash
# The Windows build under Wine, on Xvfb screens, driven like the Linux viewer:
# the question answered No gives a window whose picture matches
# `polyview-tool snapshot` of the same folder; Yes on a 640x480x16 screen
# gives fullscreen and F1 switches back and forth; Yes on a 1024x768x24 screen
# gives the fallback question, whose Yes goes on windowed; Esc and the close
# box end the program with status 0; a folder without "Wall.bmp" gives the
# "Initialization Failed." box; an instant Esc tap on a big model ends it; a
# folder named on the command line is used from elsewhere, and one that
# cannot be entered gives an ERROR box that fits the screen, however long its
# name, and status 1. Results are judged by what the program showed and left
# behind, not by Wine's exit status alone.
# Expects POLYVIEW_EXE, POLYVIEW_TOOL, X11_CLOSE and EXAMPLES.
set -euo pipefail
POLYVIEW=${POLYVIEW_EXE:?}
. "$(dirname "$0")/e2e_common.sh"
require_tools wine wineserver
: "${POLYVIEW_TOOL:?}" "${X11_CLOSE:?}"

export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
export WINEPREFIX=${POLYVIEW_WINEPREFIX:-$WORK/wine}

wine_cleanup() {
  wineserver -k 2>/dev/null || true
  cleanup
}
trap wine_cleanup EXIT

# The viewer under Wine, in DIR; standard error kept for fail().
start_wine_viewer() {
  (cd "$1" && exec timeout 120 wine "$POLYVIEW") >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
  VIEWER_PID=$!
}

# Ends a scenario: the viewer must have ended with status 0.
expect_ended_with_zero() {
  wait_viewer "${1:-15}"
  [ "$VIEWER_STATUS" = 0 ] || fail "exit status $VIEWER_STATUS"
  wineserver -w
  stop_xvfb
}

# --- No: windowed, the picture of the headless snapshot, Esc -------------
start_xvfb 1024x768x24
wineboot -i >/dev/null 2>&1 || true  # make the prefix before timing anything
dir=$(make_folder windowed)
"$POLYVIEW_TOOL" snapshot --dir "$dir" --out "$WORK/snapshot.png"
start_wine_viewer "$dir"
answer_box "Start FullScreen?" n || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
[ "$(window_geometry "$id" | awk '{ print $3 "x" $4 }')" = 640x480 ] ||
  fail "client area is $(window_geometry "$id"), not 640x480"
wait_drawn || fail "no frame drawn"
# Without a window manager Wine draws no frame: the X window is the client area.
stable_shot "$id" "$WORK/window.png" || fail "no steady picture"
differ=$(differing_pixels "$WORK/window.png" "$WORK/snapshot.png")
echo "window against snapshot: $differ of 307200 pixels differ"
[ "$differ" -lt 1536 ] || fail "the window's picture differs from the snapshot in $differ pixels"
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with_zero
echo "PASS: windowed, picture as the snapshot, Esc"

# --- Yes on 640x480x16: fullscreen, F1 both ways, close box --------------
start_xvfb 640x480x16
dir=$(make_folder fullscreen)
start_wine_viewer "$dir"
answer_box "Start FullScreen?" Return || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
[ -z "$(window_id "Kelmo GL")" ] || fail "the mode was refused"
expect_window_at_origin "$id" 640 480
wait_drawn || fail "no frame drawn"
# A switch makes a new window: wait for the title on another window id.
wait_new_window() {
  local old=$1 id i
  for ((i = 0; i < 600; i++)); do
    id=$(window_id "$TITLE")
    if [ -n "$id" ] && [ "$id" != "$old" ] &&
       xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id"
      return 0
    fi
    sleep 0.05
  done
  return 1
}
xdotool windowfocus --sync "$id" && press F1
id=$(wait_new_window "$id") || fail "F1 made no windowed window"
# Wine keeps a window inside the screen: on a 640x480 screen the windowed
# client area loses the caption's height.
[ "$(window_geometry "$id" | awk '{ print $3 }')" = 640 ] || fail "windowed client area is not 640 wide"
wait_drawn || fail "no frame drawn after F1"
xdotool windowfocus --sync "$id" && press F1
id=$(wait_new_window "$id") || fail "the second F1 made no fullscreen window"
expect_window_at_origin "$id" 640 480
wait_drawn || fail "no frame drawn after the second F1"
"$X11_CLOSE" "$id"
expect_ended_with_zero
echo "PASS: fullscreen, F1 to windowed and back, close box"

# --- Yes on 1024x768x24: the fallback question, Yes goes on windowed -----
start_xvfb 1024x768x24
dir=$(make_folder fallback)
start_wine_viewer "$dir"
answer_box "Start FullScreen?" Return || fail "no start-up question"
answer_box "Kelmo GL" Return || fail "no fallback question"
id=$(wait_window "$TITLE" 30) || fail "no window after the fallback"
[ "$(window_geometry "$id" | awk '{ print $3 "x" $4 }')" = 640x480 ] || fail "client area is not 640x480"
wait_drawn || fail "no frame drawn"
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with_zero
echo "PASS: refused mode, fallback Yes, windowed, Esc"

# --- No "Wall.bmp": the Initialization Failed. box, then status 0 --------
start_xvfb 1024x768x24
dir=$(make_folder missing)
rm "$dir/Wall.bmp"
start_wine_viewer "$dir"
answer_box "Start FullScreen?" n || fail "no start-up question"
answer_box "ERROR" Return || fail "no error box"
[ -z "$(window_id "$TITLE")" ] || fail "the window outlived the error box"
expect_ended_with_zero
echo "PASS: missing texture, error box, status 0"

# --- An instant Esc tap on 300,000 triangles ends the program ------------
# Its key-down and key-up both wait in the queue behind one long frame.
start_xvfb 1024x768x24
dir=$(make_folder big)
"$(dirname "$0")/big_model.sh" 300000 >"$dir/poligon.m"
start_wine_viewer "$dir"
answer_box "Start FullScreen?" n || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
wait_drawn 60 || fail "no frame drawn"
xdotool windowfocus --sync "$id" && xdotool key Escape
expect_ended_with_zero 30
echo "PASS: an instant Esc tap on 300,000 triangles, status 0"

# --- A folder on the command line; one that cannot be entered -------------
# Started in $WORK, which holds no assets; the name has a blank, so Wine
# quotes it and the program splits it back.
start_xvfb 1024x768x24
dir=$(make_folder "folder argument")
(cd "$WORK" && exec timeout 120 wine "$POLYVIEW" "$(winepath -w "$dir")") >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
VIEWER_PID=$!
answer_box "Start FullScreen?" n || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
wait_drawn || fail "no frame drawn from the folder named on the command line"
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with_zero
echo "PASS: polyview DIR"

# A name of 300 characters: shortened in the box, which MessageBox does not
# wrap inside a word, so that the box fits the screen.
start_xvfb 1024x768x24
missing="C:\\no such folder\\$(printf 'd%.0s' $(seq 300))"
(cd "$WORK" && exec timeout 120 wine "$POLYVIEW" "$missing") >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
VIEWER_PID=$!
id=$(wait_window "ERROR" 30) || fail "no error box"
[ -z "$(window_id "Start FullScreen?")" ] || fail "the start-up question came before the error box"
read -r x y width height <<<"$(window_geometry "$id")"
[ "$x" -ge 0 ] && [ $((x + width)) -le 1024 ] || fail "the error box ($width wide at $x) does not fit the screen"
answer_box "ERROR" Return
wait_viewer 15
[ "$VIEWER_STATUS" = 1 ] || fail "exit status $VIEWER_STATUS, not 1"
grep -qF "\"$missing\"" "$WORK/viewer.err" || fail "standard error does not name the whole folder"
wineserver -w
stop_xvfb
echo "PASS: a folder that cannot be entered, error box that fits, status 1"
