#!/usr/bin/env bash
# A folder without "Wall.bmp": the window is built, torn down, and only then
# the "Initialization Failed." box is shown; the viewer then ends with 0.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"

prepare 1024x768x24 no_texture
rm "$DIR/Wall.bmp"
launch Escape
box=$(wait_window "ERROR") || fail "no error box"
[ -z "$(window_id "$TITLE")" ] || fail "the viewer window is still there under the error box"
screenshot "$WORK/box.png" "$box"
answer_box "ERROR" Return
wait_viewer 5
[ "$VIEWER_STATUS" = 0 ] || fail "exit status is $VIEWER_STATUS"
echo "PASS: missing texture"
