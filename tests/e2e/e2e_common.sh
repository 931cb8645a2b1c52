# Set-up shared by the end-to-end scripts: the tools, a temporary folder, the
# real viewer started in a folder of its own, and clean-up on every exit.
# Expects POLYVIEW (the viewer) and EXAMPLES (the example folder) in the
# environment; POLYVIEW_TOOL and X11_CLOSE where a script uses them.

. "$(dirname "${BASH_SOURCE[0]}")/xvfb_lib.sh"

require_tools Xvfb xdotool xwininfo import convert compare
: "${POLYVIEW:?}" "${EXAMPLES:?}"

TITLE="Kelmo's OpenGL Framework"
WORK=$(mktemp -d)
VIEWER_PID=

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

# start_viewer DIR: runs polyview with DIR as its current directory.
start_viewer() {
  (cd "$1" && exec timeout 60 "$POLYVIEW") >"$WORK/viewer.out" 2>"$WORK/viewer.err" &
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

# expect_window_at_origin ID WIDTH HEIGHT
expect_window_at_origin() {
  local geometry
  geometry=$(window_geometry "$1")
  [ "$geometry" = "0 0 $2 $3" ] || fail "window geometry is '$geometry', not '0 0 $2 $3'"
}
