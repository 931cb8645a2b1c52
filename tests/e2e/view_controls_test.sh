#!/usr/bin/env bash
# The view's controls in the windowed viewer, on a cube whose sides differ:
# a drag with the left button that ends outside the window, wheel notches
# both ways, F and Home; each frame held against `polyview-tool snapshot`
# with the options of the same view, and the drag's turn told by the side
# that faces the viewer.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"
: "${POLYVIEW_TOOL:?}"

prepare 1024x768x24 cube
write_sided_cube "$DIR"
launch Escape
id=$(wait_window "$TITLE") || fail "no viewer window"
wait_drawn || fail "no frame drawn"
expect_view "$id"
# The projection of the pivot (1, 0, 0) lies on the front.
[ "$(pixel "$WORK/window.png" 436 240)" = FF0000 ] || fail "the front is not red"

# 180 pixels right and 60 down: 90 degrees of azimuth, 30 of elevation; the
# left side comes to the front.
drag "$id" 500 240 680 300
expect_view "$id" --turn 90,30
[ "$(pixel "$WORK/window.png" 436 240)" = 00FF00 ] || fail "the left side is not in front after the drag"

# Three notches forwards, one back.
xdotool mousemove --window "$id" 320 240 click 4 click 4 click 4 click 5
zoom=$(awk 'BEGIN { k = 1; k *= 0.9; k *= 0.9; k *= 0.9; k /= 0.9; printf "%.17g", k }')
expect_view "$id" --turn 90,30 --zoom "$zoom"

xdotool windowfocus --sync "$id"
press f
expect_view "$id" --turn 90,30 --frame
press Home
expect_view "$id"

press Escape
wait_viewer 10
[ "$VIEWER_STATUS" = 0 ] || fail "exit status after Esc is $VIEWER_STATUS"
echo "PASS: drag, wheel, F and Home drew the snapshots' views"
