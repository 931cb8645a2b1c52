#!/usr/bin/env bash
# Builds polyview and runs it on the bundled example in examples/.
# On a desktop the viewer opens its window there (Esc quits, F1 switches
# between fullscreen and windowed). Without a display it runs under an Xvfb
# of its own: the start-up question is answered No (windowed), a screenshot
# of the window is saved, and the viewer is ended with Esc.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
scripts/setup.sh
cmake --preset default >/dev/null
cmake --build build/default -j"$(nproc)" --target polyview polyview-tool
viewer="$root/build/default/polyview"

echo "== polyview-tool dump --summary examples/poligon.m"
build/default/polyview-tool dump --summary examples/poligon.m

if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}" ]; then
  echo "== polyview in examples/ (Esc quits, F1 switches fullscreen/windowed)"
  cd examples
  exec "$viewer"
fi

echo "== polyview in examples/, on an Xvfb screen (no display here)"
. tests/e2e/xvfb_lib.sh
shot="$root/build/default/polyview-example.png"
viewer_pid=
finish() {
  [ -n "$viewer_pid" ] && kill "$viewer_pid" 2>/dev/null
  stop_xvfb
}
trap finish EXIT
start_xvfb 1024x768x24
(cd examples && exec timeout 60 "$viewer") &
viewer_pid=$!

answer_box "Start FullScreen?" Escape
echo "answered the start-up question: No (windowed)"
id=$(wait_window "Kelmo's OpenGL Framework")
wait_drawn
screenshot "$shot.full.png"
convert "$shot.full.png" -crop "$(window_geometry "$id" | awk '{ print $3 "x" $4 "+" $1 "+" $2 }')" +repage "$shot"
rm -f "$shot.full.png"
echo "window $(window_geometry "$id" | awk '{ print $3 "x" $4 " at " $1 "," $2 }'); screenshot saved to $shot"

press Escape
status=0
wait "$viewer_pid" || status=$?
viewer_pid=
echo "Esc pressed; polyview ended with status $status"
exit "$status"
