#!/usr/bin/env bash
# What a folder may hold besides files: a model that is a FIFO with no writer
# or a link to an endless device, each refused at once (an empty model: the
# window comes, black, and Esc or the close box ends the viewer); and a folder
# deeper than 260 characters, where the example shows as polyview-tool
# snapshot draws it.
set -euo pipefail
. "$(dirname "$0")/e2e_common.sh"
: "${X11_CLOSE:?}"

# expect_empty_model_ends KEY: the viewer in DIR shows its window and ends
# with status 0 on KEY (Escape) or on the close box (close).
expect_empty_model_ends() {
  local id
  launch Escape
  id=$(wait_window "$TITLE" 10) || fail "no viewer window with $(basename "$(readlink -f "$DIR/poligon.m")")"
  [ -z "$(window_id "ERROR")" ] || fail "an error box for a model that is not a file"
  if [ "$1" = close ]; then
    "$X11_CLOSE" "$id" || fail "could not send the close request"
  else
    xdotool windowfocus --sync "$id" && xdotool key "$1"
  fi
  wait_viewer 5
  [ "$VIEWER_STATUS" = 0 ] || fail "exit status is $VIEWER_STATUS"
}

prepare 1024x768x24 fifo
rm "$DIR/poligon.m"
mkfifo "$DIR/poligon.m"
expect_empty_model_ends Escape
expect_empty_model_ends close
echo "PASS: a FIFO as the model, Esc and the close box"

# A private copy of /dev/zero: only root may make device nodes.
rm "$DIR/poligon.m"
if mknod "$WORK/zero" c 1 5 2>/dev/null; then
  ln -s "$WORK/zero" "$DIR/poligon.m"
  expect_empty_model_ends Escape
  echo "PASS: a link to a zero device as the model"
else
  echo "SKIPPED (part): no device node can be made here (not root)"
fi

# 320 characters of folders under $WORK.
DIR=$(make_folder "$(printf 'd%.0s' $(seq 100))/$(printf 'e%.0s' $(seq 100))/$(printf 'f%.0s' $(seq 100))")
[ "${#DIR}" -gt 300 ] || fail "the folder's path is only ${#DIR} characters"
launch Escape
id=$(wait_window "$TITLE") || fail "no viewer window in a ${#DIR}-character folder"
[ -z "$(window_id "ERROR")" ] || fail "an error box in a ${#DIR}-character folder"
wait_drawn || fail "no frame drawn"
stable_shot "$id" "$WORK/client.png" || fail "no steady frame"
"$POLYVIEW_TOOL" snapshot --dir "$DIR" --out "$WORK/snapshot.png" || fail "polyview-tool snapshot failed there"
differing=$(differing_pixels "$WORK/client.png" "$WORK/snapshot.png")
[ "$differing" -le 3072 ] || fail "the window's picture differs from the snapshot in $differing pixels"
press Escape
wait_viewer 5
echo "PASS: the example in a ${#DIR}-character folder ($differing pixels differ from the snapshot)"
