# Shell helpers for tests that need an X display: an Xvfb of their own on a
# free display number (with the window manager that E2E_WM names, openbox or
# fluxbox, or none), and ways to find, answer and close windows on it.
# Sourced by the end-to-end scripts.

# Exit status that CTest reads as "skipped".
SKIP=77

require_tools() {
  local tool
  for tool in "$@"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
      echo "SKIPPED: $tool is not installed (scripts/packages.txt lists it)"
      exit $SKIP
    fi
  done
}

# start_xvfb WxHxD: starts Xvfb and exports DISPLAY; stop_xvfb stops it.
start_xvfb() {
  local screen=$1 fifo
  fifo=$(mktemp -u)
  mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 "$screen" -nolisten tcp -noreset 3>"$fifo" 2>/dev/null &
  XVFB_PID=$!
  local number
  if ! read -r -t 10 number <"$fifo"; then
    rm -f "$fifo"
    echo "Xvfb did not start" >&2
    return 1
  fi
  rm -f "$fifo"
  export DISPLAY=":$number"
  [ -z "${E2E_WM:-}" ] || start_window_manager "$E2E_WM"
}

stop_xvfb() {
  [ -n "${WM_PID:-}" ] && kill "$WM_PID" 2>/dev/null && wait "$WM_PID" 2>/dev/null
  WM_PID=
  [ -n "${WM_HOME:-}" ] && rm -rf "$WM_HOME"
  WM_HOME=
  [ -n "${XVFB_PID:-}" ] && kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=
  return 0
}

# start_window_manager NAME: starts openbox or fluxbox on DISPLAY and waits
# until it manages the screen (it has set _NET_SUPPORTING_WM_CHECK). fluxbox
# gets a configuration of its own without a wallpaper, whose setter would
# otherwise open a message window that takes the focus. Neither reads or
# writes the user's own settings: their home is a new folder.
start_window_manager() {
  local config i
  config=$(mktemp -d)
  WM_HOME=$config
  case $1 in
    openbox) HOME=$config XDG_CONFIG_HOME=$config openbox </dev/null >/dev/null 2>&1 & ;;
    fluxbox)
      # (in its home: a file named with -rc is replaced by the system's)
      mkdir "$config/.fluxbox"
      printf 'background: none\n' >"$config/style"
      printf 'session.styleFile: %s\nsession.screen0.rootCommand:\nsession.configVersion: 13\n' \
        "$config/style" >"$config/.fluxbox/init"
      HOME=$config fluxbox </dev/null >/dev/null 2>&1 & ;;
    *) echo "unknown window manager $1" >&2; return 1 ;;
  esac
  WM_PID=$!
  for ((i = 0; i < 200; i++)); do
    xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && return 0
    kill -0 "$WM_PID" 2>/dev/null || break
    sleep 0.05
  done
  echo "$1 did not start" >&2
  return 1
}

# window_id TITLE: id of the mapped top-level window with exactly this title
# (under a window manager, a child of its frame).
window_id() {
  xwininfo -root "$([ -n "${E2E_WM:-}" ] && echo -tree || echo -children)" 2>/dev/null |
    awk -v title="\"$1\":" '{ id = $1; $1 = ""; sub(/^ /, ""); if (index($0, title) == 1) print id }' |
    head -n 1
}

# wait_window TITLE [SECONDS]: waits until the window exists; prints its id.
wait_window() {
  local title=$1 limit=${2:-10} id i
  for ((i = 0; i < limit * 20; i++)); do
    id=$(window_id "$title")
    if [ -n "$id" ] && xwininfo -id "$id" 2>/dev/null | grep -q 'Map State: IsViewable'; then
      echo "$id"
      return 0
    fi
    sleep 0.05
  done
  echo "no window \"$title\" within ${limit}s" >&2
  return 1
}

# wait_gone TITLE [SECONDS]: waits until no window has this title.
wait_gone() {
  local title=$1 limit=${2:-10} i
  for ((i = 0; i < limit * 20; i++)); do
    [ -z "$(window_id "$title")" ] && return 0
    sleep 0.05
  done
  echo "window \"$title\" still there after ${limit}s" >&2
  return 1
}

# answer_box CAPTION KEY: gives the message box the focus (there is no
# window manager to do it) and presses KEY: Return for its first button
# (Yes/OK), Escape for No.
answer_box() {
  local id
  id=$(wait_window "$1") || return 1
  xdotool windowfocus --sync "$id" && xdotool key "$2"
}

# press KEY: an instant tap, key down and up at once. The viewer counts a key
# that went down since its last idle pass, so even a tap shorter than a frame
# is seen.
press() {
  xdotool key "$1"
}

# window_geometry ID: "X Y WIDTH HEIGHT" of a window, its position on the screen.
window_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X:/ {x = $4} /Absolute upper-left Y:/ {y = $4}
                            /Width:/ {w = $2} /Height:/ {h = $2} END {print x, y, w, h}'
}

# screenshot FILE [ID]: saves the screen (or one window) as a PNG.
screenshot() {
  if [ -n "${2:-}" ]; then
    import -window "$2" "$1"
  else
    import -window root "$1"
  fi
}

# pixel FILE X Y: the colour of one pixel as RRGGBB.
pixel() {
  convert "$1" -crop "1x1+$2+$3" +repage -depth 8 txt:- | awk 'NR == 2 { print substr($3, 2, 6) }'
}

# differing_pixels A B: how many pixels differ by more than a few percent.
differing_pixels() {
  compare -metric AE -fuzz 6% "$1" "$2" null: 2>&1 | awk '{ print int($1) }'
}

# wait_pixel X Y RRGGBB [SECONDS]: waits until the screen shows that colour
# at X,Y (the viewer draws continuously, so a frame comes soon).
wait_pixel() {
  local x=$1 y=$2 want=$3 limit=${4:-10} got i shot
  shot=$(mktemp --suffix=.png)
  for ((i = 0; i < limit * 5; i++)); do
    screenshot "$shot"
    got=$(pixel "$shot" "$x" "$y")
    if [ "$got" = "$want" ]; then
      rm -f "$shot"
      return 0
    fi
    sleep 0.2
  done
  rm -f "$shot"
  echo "pixel $x,$y is $got (wanted $want) after ${limit}s" >&2
  return 1
}

# stable_shot ID FILE [SECONDS]: saves the window's picture once two shots in
# a row are alike, so that a frame still being put on screen is not taken.
stable_shot() {
  local id=$1 file=$2 limit=${3:-10} i previous
  previous=$(mktemp --suffix=.png)
  import -window "$id" "$previous"
  for ((i = 0; i < limit * 5; i++)); do
    import -window "$id" "$file"
    [ "$(compare -metric AE "$previous" "$file" null: 2>&1)" = 0 ] && { rm -f "$previous"; return 0; }
    cp "$file" "$previous"
    sleep 0.2
  done
  rm -f "$previous"
  echo "the picture of window $id kept changing for ${limit}s" >&2
  return 1
}

# now_ms: wall-clock milliseconds.
now_ms() {
  echo $(($(date +%s%N) / 1000000))
}

# drawn_fraction FILE: the share of pixels of the 640x480 area at 0,0 that
# are not black (the viewer's clear colour).
drawn_fraction() {
  convert "$1" -crop 640x480+0+0 +repage -fill white +opaque black -colorspace gray -format '%[fx:mean]' info:
}

# wait_drawn [SECONDS]: waits until the viewer's first frames are on screen:
# more than 5% of its client area is not black.
wait_drawn() {
  local limit=${1:-10} i shot fraction
  shot=$(mktemp --suffix=.png)
  for ((i = 0; i < limit * 5; i++)); do
    screenshot "$shot"
    fraction=$(drawn_fraction "$shot")
    if awk -v f="$fraction" 'BEGIN { exit !(f > 0.05) }'; then
      rm -f "$shot"
      return 0
    fi
    sleep 0.2
  done
  rm -f "$shot"
  echo "only $fraction of the view drawn after ${limit}s" >&2
  return 1
}
