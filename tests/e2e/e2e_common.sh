# Set-up shared by the end-to-end scripts of the Linux viewer and of the
# Windows program under Wine: the tools, a temporary folder, the viewer
# started in a folder of its own, the steps that both kinds of script take,
# and clean-up on every exit. Expects POLYVIEW (the viewer) and EXAMPLES (the
# example folder) in the environment; POLYVIEW_TOOL and X11_CLOSE where a
# script uses them.

E2E_DIR=$(dirname "${BASH_SOURCE[0]}")
. "$E2E_DIR/xvfb_lib.sh"

require_tools Xvfb xdotool xwininfo import convert compare
: "${POLYVIEW:?}" "${EXAMPLES:?}"

TITLE="Kelmo's OpenGL Framework"
WORK=$(mktemp -d)
VIEWER_PID=
# How a script starts the viewer in a folder, and the key that answers No in
# its message boxes (use_wine sets both for the Windows program).
START_VIEWER=start_viewer
ANSWER_NO=Escape

cleanup() {
  if [ -n "$VIEWER_PID" ]; then
    kill "$VIEWER_PID" 2>/dev/null || true
    wait "$VIEWER_PID" 2>/dev/null || true
  fi
  stop_xvfb
  rm -rf "$WORK"
}
trap cleanup EXIT

fail() {
  echo "FAIL: $*" >&2
  if [ -s "$WORK/viewer.err" ]; then
    echo "--- viewer's standard error:" >&2
    cat "$WORK/viewer.err" >&2
  fi
  exit 1
}

# use_wine: the viewer is the Windows program POLYVIEW under Wine (wine,
# wineserver and winepath on PATH), in WINEPREFIX or a new prefix in $WORK;
# its Yes/No boxes have no Cancel for Escape to press, so "n" answers No.
use_wine() {
  require_tools wine wineserver winepath
  export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
  export WINEPREFIX=${WINEPREFIX:-$WORK/wine}
  trap wine_cleanup EXIT
  START_VIEWER=start_wine_viewer
  ANSWER_NO=n
}

wine_cleanup() {
  wineserver -k 2>/dev/null || true
  cleanup
}

# The viewer under Wine, in DIR (and VIEWER_ARGS); standard error kept for fail().
start_wine_viewer() {
  (cd "$1" && exec timeout 120 wine "$POLYVIEW" ${VIEWER_ARGS:-}) >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
  VIEWER_PID=$!
}

# make_folder NAME: a copy of the example folder under $WORK; prints its path.
make_folder() {
  local dir="$WORK/$1"
  mkdir -p "$dir"
  cp "$EXAMPLES/poligon.m" "$dir/"
  if [ -f "$EXAMPLES/Wall.bmp" ]; then
    cp "$EXAMPLES/Wall.bmp" "$dir/"
  else
    convert -size 64x64 pattern:bricks -fill '#b5472a' -opaque white BMP3:"$dir/Wall.bmp"
  fi
  echo "$dir"
}

# start_viewer DIR: runs polyview (and VIEWER_ARGS) with DIR as its current directory.
start_viewer() {
  (cd "$1" && exec timeout 60 "$POLYVIEW" ${VIEWER_ARGS:-}) >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
  VIEWER_PID=$!
}

# wait_viewer [SECONDS]: waits for the viewer to end; sets VIEWER_STATUS.
wait_viewer() {
  local limit=${1:-10} i
  for ((i = 0; i < limit * 50; i++)); do
    if ! kill -0 "$VIEWER_PID" 2>/dev/null; then
      VIEWER_STATUS=0
      wait "$VIEWER_PID" || VIEWER_STATUS=$?
      VIEWER_PID=
      return 0
    fi
    sleep 0.02
  done
  fail "the viewer did not end within ${limit}s"
}

# A switch makes a new window: wait_new_window OLD-ID waits for the title on
# another window id and prints it.
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

# expect_window_at_origin ID WIDTH HEIGHT
expect_window_at_origin() {
  local geometry
  geometry=$(window_geometry "$1")
  [ "$geometry" = "0 0 $2 $3" ] || fail "window geometry is '$geometry', not '0 0 $2 $3'"
}

# prepare SCREEN NAME: a new Xvfb screen SCREEN (WxHxD) and a copy of the
# example named NAME, whose path is left in DIR.
prepare() {
  start_xvfb "$1"
  DIR=$(make_folder "$2")
}

# launch ANSWER: starts the viewer in DIR and answers the start-up question
# with ANSWER (Return: Yes, $ANSWER_NO: No).
launch() {
  "$START_VIEWER" "$DIR"
  answer_box "Start FullScreen?" "$1" || fail "no start-up question"
}

# The models that tell a reload after F1 from what was loaded before, each a
# triangle over the centre of the view. write_white_triangle DIR: a plain
# (mode 0) one, white at 320,240. write_green_texture DIR: a textured one
# under a new, pure green texture, green there.
write_white_triangle() {
  cat >"$1/poligon.m" <<'MODEL'
UcgenSayisi >> 1
KaplamaKullanimi >> 0
Vertex -1.0 -1.0 0.0
Vertex  1.0 -1.0 0.0
Vertex  0.0  1.0 0.0
MODEL
}
write_green_texture() {
  convert -size 64x64 xc:'#00FF00' BMP3:"$1/Wall.bmp"
  cat >"$1/poligon.m" <<'MODEL'
UcgenSayisi >> 1
KaplamaKullanimi >> 1
Vertex -1.0 -1.0 0.0 >> TKoord 0.0 0.0
Vertex  1.0 -1.0 0.0 >> TKoord 1.0 0.0
Vertex  0.0  1.0 0.0 >> TKoord 0.5 1.0
MODEL
}

# tap_escape_on_big_model: the viewer, answered No on a 1024x768x24 screen, on
# a 300,000-triangle model, whose frames under llvmpipe are long enough that
# the key-down and the key-up of an instant Esc tap (as `xdotool key` sends
# them) both wait in the queue behind one frame; the tap comes once the
# first frame is on screen. The caller waits for the end.
tap_escape_on_big_model() {
  local id
  prepare 1024x768x24 big
  "$E2E_DIR/big_model.sh" 300000 >"$DIR/poligon.m"
  launch "$ANSWER_NO"
  id=$(wait_window "$TITLE" 30) || fail "no viewer window"
  wait_drawn 60 || fail "no frame drawn"
  xdotool windowfocus --sync "$id" && xdotool key Escape
}

# write_sided_cube DIR: a textured cube of side 2 about (1, 0, 0) whose
# sides tell the view's turn: front (+z) red, left (-x) green, top (+y)
# blue, the other three yellow; each side one colour of a four-colour
# "Wall.bmp".
write_sided_cube() {
  convert -size 32x32 xc:red xc:lime +append \( -size 32x32 xc:blue xc:yellow +append \) -append \
    BMP3:"$1/Wall.bmp"
  awk 'function side(uv, a, b, c, d) {
         printf "Vertex %s >> TKoord %s\nVertex %s >> TKoord %s\nVertex %s >> TKoord %s\n", a, uv, b, uv, c, uv
         printf "Vertex %s >> TKoord %s\nVertex %s >> TKoord %s\nVertex %s >> TKoord %s\n", a, uv, c, uv, d, uv
       }
       BEGIN {
         red = "0.25 0.75"; lime = "0.75 0.75"; blue = "0.25 0.25"; yellow = "0.75 0.25"
         print "UcgenSayisi >> 12\nKaplamaKullanimi >> 1"
         side(red, "0 -1 1", "2 -1 1", "2 1 1", "0 1 1")
         side(lime, "0 -1 -1", "0 -1 1", "0 1 1", "0 1 -1")
         side(blue, "0 1 -1", "0 1 1", "2 1 1", "2 1 -1")
         side(yellow, "0 -1 -1", "0 1 -1", "2 1 -1", "2 -1 -1")
         side(yellow, "2 -1 -1", "2 1 -1", "2 1 1", "2 -1 1")
         side(yellow, "0 -1 -1", "2 -1 -1", "2 -1 1", "0 -1 1")
       }' >"$1/poligon.m"
}

# drag ID X0 Y0 X1 Y1: a left-button drag in the window from X0,Y0 to X1,Y1
# (window pixels; the end may lie outside it), in a few moves.
drag() {
  local id=$1 x=$2 y=$3 dx=$(($4 - $2)) dy=$(($5 - $3))
  xdotool mousemove --window "$id" "$x" "$y" mousedown 1 \
    mousemove --window "$id" $((x + dx / 3)) $((y + dy / 3)) \
    mousemove --window "$id" $((x + 2 * dx / 3)) $((y + 2 * dy / 3)) \
    mousemove --window "$id" "$4" "$5" mouseup 1
}

# expect_view ID [SNAPSHOT OPTIONS...]: waits until the window shows what
# `polyview-tool snapshot` draws of DIR with these options (a frame of the
# view the controls have made comes soon: the viewer draws continuously).
expect_view() {
  local id=$1 differ i
  shift
  "$POLYVIEW_TOOL" snapshot --dir "$DIR" --out "$WORK/expected.png" "$@" || fail "snapshot $* failed"
  for ((i = 0; i < 100; i++)); do
    import -window "$id" "$WORK/window.png"
    # (compare's status tells that the pictures differ at all)
    differ=$(differing_pixels "$WORK/window.png" "$WORK/expected.png" || true)
    if [ "$differ" -lt 1536 ]; then
      echo "view as snapshot $*: $differ of 307200 pixels differ"
      return 0
    fi
    sleep 0.2
  done
  fail "the window differs from snapshot $* in $differ pixels"
}
