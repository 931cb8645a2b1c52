#!/usr/bin/env bash
# `polyview DIR`, started from another folder: the viewer works as if started
# in DIR, and F1 (here: the fallback question's Yes on a screen without
# 640x480, so windowed again) reloads from there; the close box ends it with
# status 0. A folder that cannot be entered gets an ERROR box before anything
# else, and exit status 1, whatever the length of its name. The folder's name
# has a blank and quotes in it, so the start-up's quoting and the shell's
# splitting are tried too. `polyview DIR/poligon.m` shows the house from DIR
# as polyview-tool snapshot draws it.
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

house=$(make_folder 'a house')
start_viewer_with "$house/poligon.m"
answer_box "Start FullScreen?" Escape || fail "no start-up question for DIR/poligon.m"
id=$(wait_window "$TITLE") || fail "no viewer window for DIR/poligon.m"
wait_drawn || fail "no frame drawn from DIR/poligon.m"
screenshot "$WORK/window.png"
convert "$WORK/window.png" -crop 640x480+0+0 +repage "$WORK/client.png"
"$POLYVIEW_TOOL" snapshot --dir "$house" --out "$WORK/snapshot.png" || fail "polyview-tool snapshot failed"
differing=$(differing_pixels "$WORK/client.png" "$WORK/snapshot.png")
[ "$differing" -le 3072 ] || fail "polyview DIR/poligon.m differs from the house's snapshot in $differing pixels"
"$X11_CLOSE" "$id" || fail "could not send the close request"
wait_viewer 5
[ "$VIEWER_STATUS" = 0 ] || fail "exit status after the close box is $VIEWER_STATUS"
echo "PASS: polyview DIR/poligon.m shows the house"

# Names of 3,000 characters (no such folder) and 5,000 (longer than a path
# may be): the box fits the screen, standard error has the whole name.
for length in 3000 5000; do
  missing="$WORK/no such folder/$(printf 'd%.0s' $(seq "$length"))"
  start_viewer_with "$missing"
  id=$(wait_window "ERROR") || fail "no error box for a name of $length characters"
  [ -z "$(window_id "Start FullScreen?")" ] || fail "the start-up question came before the error box"
  read -r x y width height <<<"$(window_geometry "$id")"
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le 1024 ] && [ $((y + height)) -le 768 ] ||
    fail "the error box ($width x $height at $x,$y) does not fit the 1024x768 screen"
  answer_box "ERROR" Return
  wait_viewer 5
  [ "$VIEWER_STATUS" = 1 ] || fail "exit status after the error box is $VIEWER_STATUS, not 1"
  [ -z "$(window_id "$TITLE")" ] || fail "a viewer window for a folder that does not exist"
  grep -qF "\"$missing\"" "$WORK/viewer.err" || fail "standard error does not name the whole folder"
done
echo "PASS: a folder that cannot be entered, its long name shortened in a box that fits"
