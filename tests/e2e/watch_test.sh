#!/usr/bin/env bash
# --watch, on the Linux viewer (or, with the argument "wine", the Windows
# program under Wine, which takes the rename save only): each kind of save
# shows the new scene in the same window, every frame is one that
# `polyview-tool snapshot` draws of the old or of the new files, and the
# title says why a picture could not be used while the last scene stays.
set -euo pipefail
if [ "${1:-}" = wine ]; then POLYVIEW=${POLYVIEW_EXE:?}; fi
. "$(dirname "$0")/e2e_common.sh"
if [ "${1:-}" = wine ]; then use_wine; export LANG=C.UTF-8; fi
: "${POLYVIEW_TOOL:?}"
VIEWER_ARGS=--watch

# The frames' references: snapshot of a folder holding the scene's files.
reference() {
  "$POLYVIEW_TOOL" snapshot --dir "$1" --out "$WORK/$2.png" >/dev/null || fail "no snapshot of $1"
}
# frame_is REF: the window's current frame, within the snapshot tolerance of REF.
frame_is() {
  import -window "$id" "$WORK/frame.png" &&
    [ "$(differing_pixels "$WORK/frame.png" "$WORK/$1.png")" -le 3072 ]
}
# wait_frame REF [OLD]: frames until one is REF; every one before must be
# OLD (a shot that is neither is taken again once: it may have caught a
# frame while it was being put on screen; a part of a model stays longer).
wait_frame() {
  local want=$1 old=${2:-} i
  for ((i = 0; i < 150; i++)); do
    frame_is "$want" && return 0
    [ -z "$old" ] || frame_is "$old" || frame_is "$want" || frame_is "$old" ||
      fail "a frame neither $old nor $want"
  done
  fail "no frame of $want"
}
wait_title() {
  local i
  for ((i = 0; i < 200; i++)); do
    [ "$(xdotool getwindowname "$id")" = "$1" ] && return 0
    sleep 0.05
  done
  fail "title is '$(xdotool getwindowname "$id")', not '$1'"
}
# stage NAME: a folder with the scene's current files, to change and snapshot.
stage() {
  rm -rf "${WORK:?}/$1" && cp -r "$DIR" "$WORK/$1" && echo "$WORK/$1"
}
# Three white triangles side by side: a model that is shorter while written.
three_triangles() {
  printf 'UcgenSayisi >> 3\nKaplamaKullanimi >> 0\n'
  printf 'Vertex %s -1.0 0.0\nVertex %s -1.0 0.0\nVertex %s 1.0 0.0\n' -2.2 -1.0 -2.2 -0.6 0.6 -0.6 1.0 2.2 1.0
}

prepare 1024x768x24 watched
reference "$DIR" house
launch "$ANSWER_NO"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
wait_frame house

# A save by rename, as editors save.
next=$(stage rename)
write_white_triangle "$next"
reference "$next" triangle
mv "$next/poligon.m" "$DIR/poligon.m"
wait_frame triangle house
echo "PASS: a save by rename"
if [ "${1:-}" = wine ]; then
  xdotool windowfocus --sync "$id" && press Escape
  wait_viewer 15
  [ "$VIEWER_STATUS" = 0 ] || fail "exit status $VIEWER_STATUS"
  exit 0
fi

# Written in place in three pieces 100 ms apart: frames and titles taken as
# fast as they come until the whole model shows; none shows a part.
next=$(stage pieces)
three_triangles >"$next/poligon.m"
reference "$next" three
{
  head -c 40 "$next/poligon.m"; sleep 0.1
  head -c 120 "$next/poligon.m" | tail -c +41; sleep 0.1
  tail -c +121 "$next/poligon.m"
} >"$DIR/poligon.m" &
writer=$!
for ((n = 0; ; n++)); do
  [ "$(xdotool getwindowname "$id")" = "$TITLE" ] || fail "title '$(xdotool getwindowname "$id")' during the save"
  import -window "$id" "$WORK/piece$n.png"
  kill -0 "$writer" 2>/dev/null || ! frame_is three || break
  ((n < 300)) || fail "no frame of the whole model"
done
wait "$writer"
for ((; n >= 0; n--)); do
  for ref in triangle three fail; do
    [ "$ref" != fail ] || fail "frame $n of the save is neither the old model nor the new"
    [ "$(differing_pixels "$WORK/piece$n.png" "$WORK/$ref.png")" -gt 3072 ] || break
  done
done
echo "PASS: an in-place save in three pieces"

# Deleted, missing for a while (the title says so), made again.
rm "$DIR/poligon.m"
wait_title "$TITLE - poligon.m: 0 triangles"
import -window "$id" "$WORK/frame.png"
[ "$(drawn_fraction "$WORK/frame.png")" = 0 ] || fail "a model of 0 triangles is not drawn black"
write_white_triangle "$DIR"
wait_title "$TITLE"
wait_frame triangle
rm "$DIR/poligon.m" && cp "$WORK/pieces/poligon.m" "$DIR/poligon.m"
wait_frame three
echo "PASS: deleted and made again"

# A picture that is not one: the reason in the title, the scene stays.
next=$(stage green)
write_green_texture "$next"
reference "$next" green
cp "$next/poligon.m" "$DIR/poligon.m"
echo "not a picture" >"$WORK/junk" && mv "$WORK/junk" "$DIR/Wall.bmp"
wait_title "$TITLE - Wall.bmp: not a BMP, PNG, JPEG or GIF picture"
grep -q "Wall.bmp: not a BMP" "$WORK/viewer.err" || fail "the reason is not on standard error"
wait_frame three
cp "$next/Wall.bmp" "$WORK/good.bmp" && mv "$WORK/good.bmp" "$DIR/Wall.bmp"
wait_title "$TITLE"
wait_frame green
echo "PASS: a picture that is not one, then a good one"

xdotool windowfocus --sync "$id" && press Escape
wait_viewer 10
[ "$VIEWER_STATUS" = 0 ] || fail "exit status $VIEWER_STATUS"
echo "PASS: --watch"
