#!/usr/bin/env bash
# --watch, on the Linux viewer (or, with the argument "wine", the Windows
# program under Wine, which takes the rename save only): each kind of save
# (rename, in place, delete and create, a link pointed elsewhere) shows the
# new scene in the same window as `polyview-tool snapshot` draws it, no
# frame or title shows a save in progress, and the title says why a picture
# could not be used while the last scene stays. The viewer starts turned, and
# its view is kept across every reload.
set -euo pipefail
if [ "${1:-}" = wine ]; then POLYVIEW=${POLYVIEW_EXE:?}; fi
. "$(dirname "$0")/e2e_common.sh"
if [ "${1:-}" = wine ]; then use_wine; export LANG=C.UTF-8; fi
: "${POLYVIEW_TOOL:?}"
VIEW="--turn 25,15 --zoom 1.2"
VIEWER_ARGS="--watch $VIEW"

# stage NAME WRITE: a copy of the scene's folder changed by `WRITE FOLDER`,
# and its snapshot NAME.png, the frame to expect once it is saved.
stage() {
  rm -rf "${WORK:?}/$1" && cp -r "$DIR" "$WORK/$1" && "$2" "$WORK/$1"
  "$POLYVIEW_TOOL" snapshot --dir "$WORK/$1" $VIEW --out "$WORK/$1.png" >/dev/null || fail "no snapshot of $1"
}
same_as() {  # same_as SHOT NAME: within the snapshot tolerance of NAME.png
  [ "$(differing_pixels "$1" "$WORK/$2.png")" -le 3072 ]
}
wait_frame() {
  local i
  for ((i = 0; i < 150; i++)); do
    import -window "$id" "$WORK/frame.png" && same_as "$WORK/frame.png" "$1" && return 0
  done
  fail "no frame of $1"
}
wait_title() {
  for ((i = 0; i < 200; i++)); do
    [ "$(xdotool getwindowname "$id")" = "$1" ] && return 0
    sleep 0.05
  done
  fail "title is '$(xdotool getwindowname "$id")', not '$1'"
}
finish() {
  xdotool windowfocus --sync "$id" && press Escape && wait_viewer 15
  [ "$VIEWER_STATUS" = 0 ] || fail "exit status $VIEWER_STATUS"
}
house_picture() { cp "$WORK/house/Wall.bmp" "$1/Wall.bmp"; }
# Three white triangles side by side: a model that is shorter while written.
three_triangles() {
  { printf 'UcgenSayisi >> 3\nKaplamaKullanimi >> 0\n'
    printf 'Vertex %s -1.0 0.0\nVertex %s -1.0 0.0\nVertex %s 1.0 0.0\n' -2.2 -1.0 -2.2 -0.6 0.6 -0.6 1.0 2.2 1.0
  } >"$1/poligon.m"
}

prepare 1024x768x24 watched
stage house true
launch "$ANSWER_NO"
id=$(wait_window "$TITLE" 30) || fail "no viewer window"
wait_frame house

stage triangle write_white_triangle
mv "$WORK/triangle/poligon.m" "$DIR/poligon.m"
wait_frame triangle
echo "PASS: a save by rename"
[ "${1:-}" != wine ] || { finish; exit 0; }

# In place, in three pieces 100 ms apart: frames and titles taken as fast as
# they come until the whole model shows; each is the old model or the new.
stage three three_triangles
{ head -c 40; sleep 0.1; head -c 80; sleep 0.1; cat; } <"$WORK/three/poligon.m" >"$DIR/poligon.m" &
writer=$!
for ((n = 0; ; n++)); do
  [ "$(xdotool getwindowname "$id")" = "$TITLE" ] || fail "title '$(xdotool getwindowname "$id")' during the save"
  import -window "$id" "$WORK/piece$n.png"
  kill -0 "$writer" 2>/dev/null || ! same_as "$WORK/piece$n.png" three || break
  ((n < 300)) || fail "no frame of the whole model"
done
for ((; n >= 0; n--)); do
  same_as "$WORK/piece$n.png" triangle || same_as "$WORK/piece$n.png" three || fail "frame $n shows a part"
done
echo "PASS: an in-place save in three pieces"

# Deleted, missing for a while (drawn black, the title says so), made again.
rm "$DIR/poligon.m"
wait_title "$TITLE - poligon.m: 0 triangles"
import -window "$id" "$WORK/frame.png"
[ "$(drawn_fraction "$WORK/frame.png")" = 0 ] || fail "a model of 0 triangles is not drawn black"
write_white_triangle "$DIR"
wait_title "$TITLE"
wait_frame triangle
rm "$DIR/poligon.m" && cp "$WORK/three/poligon.m" "$DIR/poligon.m"
wait_frame three
echo "PASS: deleted and made again"

stage green write_green_texture
cp "$WORK/green/poligon.m" "$DIR/poligon.m"
echo "not a picture" >"$WORK/junk" && mv "$WORK/junk" "$DIR/Wall.bmp"
wait_title "$TITLE - Wall.bmp: not a BMP, PNG, JPEG or GIF picture"
grep -q "Wall.bmp: not a BMP" "$WORK/viewer.err" || fail "the reason is not on standard error"
wait_frame three
ln "$WORK/green/Wall.bmp" "$WORK/good.bmp" && mv "$WORK/good.bmp" "$DIR/Wall.bmp"
wait_title "$TITLE"
wait_frame green
echo "PASS: a picture that is not one, then a good one"

stage linked house_picture
ln -sfn "$WORK/linked/Wall.bmp" "$DIR/Wall.bmp"
wait_frame linked
ln -sfn "$WORK/green/Wall.bmp" "$DIR/Wall.bmp"
wait_frame green
echo "PASS: the picture a link, pointed elsewhere"
finish
