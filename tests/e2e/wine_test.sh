#!/usr/bin/env bash
# The Windows program under Wine, on Xvfb screens, driven like the Linux
# viewer, in ten scenarios: the start-up question both ways (No: a window
# whose picture matches `polyview-tool snapshot` of the same folder; Yes on a
# 640x480x16 screen: fullscreen); started in a folder whose name the ANSI
# code page cannot spell, and with such a folder as its argument, its model
# saved with a byte-order mark (the picture of the snapshot); F1 there and back, reloading model and
# texture, and F1 held down switching again and again; Yes on a screen
# without 640x480: the fallback question, Yes, then No with the closing box;
# a folder without "Wall.bmp" and the "Initialization Failed." box; an
# instant Esc tap on a big model; a folder on a command line of quotes and
# blanks; the view's options with an unknown one (ignored) and a drag that
# ends outside the window, each view that of `snapshot` with the same
# options; a folder that cannot be entered, whose ERROR box fits the screen
# however long its name. Esc and the close box end the program with status 0.
# Results are judged by what the program showed and
# left behind, never by Wine's exit status alone, and the scenarios that ran
# are counted. Expects POLYVIEW_EXE, POLYVIEW_TOOL, X11_CLOSE and EXAMPLES;
# wine, wineserver and winepath on PATH (scripts/wine-wow64.sh puts them
# there); a WINEPREFIX, or a new one is made in the temporary folder.
set -euo pipefail
POLYVIEW=${POLYVIEW_EXE:?}
. "$(dirname "$0")/e2e_common.sh"
use_wine
: "${POLYVIEW_TOOL:?}" "${X11_CLOSE:?}"
# Wine takes file names and arguments in the locale's character set.
export LANG=C.UTF-8
SCENARIOS=10
# Turkish letters outside code page 1252 (ı, ş, ğ), and a Russian word.
FAR_FOLDER="Masaüstü/çalışma ğ/модели"

passed=0
pass() {
  passed=$((passed + 1))
  echo "PASS: $*"
}

# Ends a scenario: the viewer must have ended with STATUS (default 0).
expect_ended_with() {
  wait_viewer "${2:-15}"
  [ "$VIEWER_STATUS" = "${1:-0}" ] || fail "exit status $VIEWER_STATUS, not ${1:-0}"
  wineserver -w
  stop_xvfb
}

# The viewer's window once drawn, its picture held against `polyview-tool
# snapshot` of DIR; sets id.
expect_snapshot_frame() {
  local differ
  "$POLYVIEW_TOOL" snapshot --dir "$DIR" --out "$WORK/snapshot.png"
  id=$(wait_window "$TITLE" 30) || fail "no viewer window"
  wait_drawn || fail "no frame drawn"
  # Without a window manager Wine draws no frame: the X window is the client area.
  stable_shot "$id" "$WORK/window.png" || fail "no steady picture"
  differ=$(differing_pixels "$WORK/window.png" "$WORK/snapshot.png")
  echo "window against snapshot: $differ of 307200 pixels differ"
  [ "$differ" -lt 1536 ] || fail "the window's picture differs from the snapshot in $differ pixels"
}

# The window once switching has come to rest: drawn, and the same before and
# after a frame was seen.
wait_settled_window() {
  local id i
  for ((i = 0; i < 20; i++)); do
    id=$(wait_window "$TITLE" 30) || return 1
    wait_drawn >/dev/null 2>&1 && [ "$(window_id "$TITLE")" = "$id" ] && { echo "$id"; return 0; }
  done
  return 1
}

# --- No: windowed, the picture of the headless snapshot, Esc -------------
prepare 1024x768x24 windowed
[ -f "$WINEPREFIX/system.reg" ] || wineboot -i >/dev/null 2>&1 || true  # before timing anything
launch n
expect_snapshot_frame
[ "$(window_geometry "$id" | awk '{ print $3 "x" $4 }')" = 640x480 ] ||
  fail "client area is $(window_geometry "$id"), not 640x480"
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with 0
pass "windowed, picture as the snapshot, Esc"

# --- Started in a folder the ANSI code page cannot name ------------------
# The current folder reaches the picture service as UTF-16; the model,
# opened by its relative name, begins with a byte-order mark.
prepare 1024x768x24 "$FAR_FOLDER"
printf '\xEF\xBB\xBF' | cat - "$EXAMPLES/poligon.m" >"$DIR/poligon.m"
launch n
expect_snapshot_frame
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with 0
pass "started in $FAR_FOLDER, a model with a byte-order mark, picture as the snapshot"

# --- The same folder as the argument, from the UTF-16 command line ------
start_xvfb 1024x768x24
(cd "$WORK" && exec timeout 120 wine "$POLYVIEW" "$(winepath -w "$DIR")") >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
VIEWER_PID=$!
answer_box "Start FullScreen?" n || fail "no start-up question"
expect_snapshot_frame
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with 0
pass "polyview \"$FAR_FOLDER\", picture as the snapshot"

# --- Yes on 640x480x16: fullscreen, F1 both ways and held, close box -----
prepare 640x480x16 fullscreen
launch Return
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
[ -z "$(window_id "Kelmo GL")" ] || fail "the mode was refused"
expect_window_at_origin "$id" 640 480
wait_drawn || fail "no frame drawn"
write_white_triangle "$DIR"
xdotool windowfocus --sync "$id" && press F1
id=$(wait_new_window "$id") || fail "F1 made no windowed window"
# Wine keeps a window inside the screen: on a 640x480 screen the windowed
# client area loses the caption's height.
[ "$(window_geometry "$id" | awk '{ print $3 }')" = 640 ] || fail "windowed client area is not 640 wide"
wait_pixel 320 240 FFFFFF || fail "the model was not read again after F1"
write_green_texture "$DIR"
xdotool windowfocus --sync "$id" && press F1
id=$(wait_new_window "$id") || fail "the second F1 made no fullscreen window"
expect_window_at_origin "$id" 640 480
wait_pixel 320 240 00FF00 || fail "the texture was not made again after the second F1"
# Held down, F1 switches at every key repeat that reaches the new window.
xdotool windowfocus --sync "$id" && xdotool keydown F1
for switch in 1 2 3 4; do
  id=$(wait_new_window "$id") || { xdotool keyup F1; fail "F1 held down switched $((switch - 1)) times, then no more"; }
done
xdotool keyup F1
id=$(wait_settled_window) || fail "no drawn window that stays after F1 was released"
"$X11_CLOSE" "$id" || fail "could not send the close request"
expect_ended_with 0
pass "fullscreen, F1 to windowed and back with reloads, F1 held down, close box"

# --- Yes on 1024x768x24: the fallback question, Yes, then No -------------
prepare 1024x768x24 fallback
launch Return
answer_box "Kelmo GL" Return || fail "no fallback question"
id=$(wait_window "$TITLE" 30) || fail "no window after the fallback"
[ "$(window_geometry "$id" | awk '{ print $3 "x" $4 }')" = 640x480 ] || fail "client area is not 640x480"
wait_drawn || fail "no frame drawn"
xdotool windowfocus --sync "$id" && press F1
answer_box "Kelmo GL" n || fail "no fallback question after F1"
answer_box "ERROR" Return || fail "no closing box after the fallback's No"
expect_ended_with 0
pass "refused mode, fallback Yes, windowed, F1, fallback No, closing box"

# --- No "Wall.bmp": the Initialization Failed. box, then status 0 --------
prepare 1024x768x24 missing
rm "$DIR/Wall.bmp"
launch n
answer_box "ERROR" Return || fail "no error box"
[ -z "$(window_id "$TITLE")" ] || fail "the window outlived the error box"
expect_ended_with 0
pass "missing texture, error box, status 0"

# --- An instant Esc tap on 300,000 triangles ends the program ------------
tap_escape_on_big_model
expect_ended_with 0 30
pass "an instant Esc tap on 300,000 triangles, status 0"

# --- A folder on the command line, through quotes and blanks ------------
# Started by cmd from a batch file in $WORK, which holds no assets, with the
# command line as written there: the C runtime's rules make one argument of
# it, where a doubled backslash before a quote stands for one backslash.
prepare 1024x768x24 "folder argument"
printf '@"%s" %s\\\\"folder argument"\r\n' "$(winepath -w "$POLYVIEW")" "$(winepath -w "$WORK")" >"$WORK/start.bat"
(cd "$WORK" && exec timeout 120 wine cmd /c start.bat) >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
VIEWER_PID=$!
answer_box "Start FullScreen?" n || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
wait_drawn || fail "no frame drawn from the folder named on the command line"
write_white_triangle "$DIR"
xdotool windowfocus --sync "$id" && press F1
answer_box "Kelmo GL" Return || fail "no fallback question after F1"
wait_pixel 320 240 FFFFFF || fail "F1 did not read the model from the folder again"
id=$(wait_window "$TITLE") || fail "no window after F1"
"$X11_CLOSE" "$id" || fail "could not send the close request"
expect_ended_with 0
pass "polyview DIR through quotes and blanks, F1 reloads from DIR, close box"

# --- The view's options, an unknown one ignored, a drag out of the window --
prepare 1024x768x24 cube
write_sided_cube "$DIR"
(cd "$DIR" && exec timeout 120 wine "$POLYVIEW" --zoom 0.8 --unknown) >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
VIEWER_PID=$!
answer_box "Start FullScreen?" n || fail "no start-up question"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
expect_view "$id" --zoom 0.8
drag "$id" 500 240 680 300
expect_view "$id" --zoom 0.8 --turn 90,30
xdotool windowfocus --sync "$id" && press Escape
expect_ended_with 0
pass "--zoom 0.8 and an unknown option, a drag that ends outside the window"

# --- A folder that cannot be entered: the ERROR box, status 1 -------------
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
expect_ended_with 1
grep -qF "\"$missing\"" "$WORK/viewer.err" || fail "standard error does not name the whole folder"
pass "a folder that cannot be entered, error box that fits, status 1"

[ "$passed" = "$SCENARIOS" ] || fail "$passed of $SCENARIOS scenarios ran"
echo "PASS: all $SCENARIOS scenarios against ${POLYVIEW##*/}"
