# Shared by the end-to-end scripts: an X server of their own (Xvfb), framzo
# started in it with its own settings and home folders, and the means to
# find things on the screen by colour. Source it after setting FRAMZO; it
# exits 77 (skipped) only when there is no Xvfb.
#
# E2E_SHOTS=folder keeps the last screenshot of a failed run there.
#
# Gives: $tmp (a folder removed at the end), $DISPLAY, fail, wait_for,
# start_framzo, $wid (the main window, after find_window), title_has, shot,
# bbox_in, bbox_of.

if ! command -v Xvfb >/dev/null 2>&1; then
  echo "SKIP: Xvfb is not installed (tools/install-deps.sh installs it)"
  exit 77
fi
for tool in xdotool convert compare identify import; do
  command -v "$tool" >/dev/null 2>&1 || { echo "FAIL: $tool is missing (tools/install-deps.sh installs it)"; exit 1; }
done

tmp=$(mktemp -d "${TMPDIR:-/tmp}/framzo-e2e.XXXXXX")
xvfb_pid=""
framzo_pid=""
cleanup() {
  [ -n "$framzo_pid" ] && kill "$framzo_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$tmp"
}
trap cleanup EXIT
trap 'exit 1' INT TERM

fail() {
  echo "FAIL: $*"
  # E2E_SHOTS=folder keeps the last screenshot for a look.
  [ -n "${E2E_SHOTS:-}" ] && [ -f "$tmp/screen.png" ] && cp "$tmp/screen.png" "$E2E_SHOTS/failed.png"
  for log in "$tmp/framzo.log" "$tmp/xvfb.log"; do
    [ -s "$log" ] && { echo "--- $log"; tail -n 20 "$log"; }
  done
  exit 1
}

# Tries the command that follows up to $1 times, a tenth of a second apart,
# until it succeeds.
wait_for() {
  local tries=$1
  shift
  local i
  for ((i = 0; i < tries; i++)); do
    "$@" && return 0
    sleep 0.1
  done
  return 1
}

# ---- an X server on a free display -----------------------------------------
# Other runs on the machine start and stop X servers of their own meanwhile;
# a server that does not answer on the display it chose, or is gone, is
# replaced by a new one.
display_ready() { grep -qE '^[0-9]+' "$tmp/display"; }
xvfb_answers() { kill -0 "$xvfb_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1; }
start_xvfb() {
  exec 3>"$tmp/display"
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp >"$tmp/xvfb.log" 2>&1 &
  xvfb_pid=$!
  exec 3>&-
  wait_for 100 display_ready || return 1
  export DISPLAY=":$(head -n1 "$tmp/display" | tr -dc '0-9')"
  wait_for 50 xvfb_answers
}
for attempt in 1 2 3; do
  start_xvfb && break
  kill "$xvfb_pid" 2>/dev/null
  wait "$xvfb_pid" 2>/dev/null
  xvfb_pid=""
done
[ -n "$xvfb_pid" ] || fail "Xvfb did not start"

mkdir -p "$tmp/home" "$tmp/config/Ketra" "$tmp/data"

# Starts framzo with the given arguments, its settings in
# $tmp/config/Ketra/Framzo.conf. A fixed look and scale, whatever the
# desktop settings say: positions are found by colour and expected at one
# screen pixel per canvas unit.
start_framzo() {
  HOME="$tmp/home" XDG_CONFIG_HOME="$tmp/config" XDG_DATA_HOME="$tmp/data" QT_QPA_PLATFORM=xcb \
    QT_STYLE_OVERRIDE=Fusion QT_QPA_PLATFORMTHEME= QT_ENABLE_HIGHDPI_SCALING=0 QT_SCALE_FACTOR=1 \
    "$FRAMZO" "$@" >"$tmp/framzo.log" 2>&1 &
  framzo_pid=$!
}

wid=""
find_window() {
  kill -0 "$framzo_pid" 2>/dev/null || fail "framzo exited early"
  wid=$(xdotool search --onlyvisible --name '^Framzo' 2>/dev/null | head -n1)
  [ -n "$wid" ]
}
# While an image window is maximised, its caption shows in the main
# window's title.
title_has() { xdotool getwindowname "$wid" 2>/dev/null | grep -qF "$1"; }

# A screenshot of the whole screen into $tmp/screen.png.
shot() { import -window root "$tmp/screen.png" 2>/dev/null; }

# bbox_in colour x0 y0 x1 y1 [erode] -> "WxH+X+Y" of the pixels near that
# colour inside the rectangle (screen coordinates) in the latest screenshot,
# eroded by a square of that size first to drop specks; empty when none.
bbox_in() {
  local colour=$1 x0=$2 y0=$3 x1=$4 y1=$5 erode=${6:-0}
  local shrink=() box
  [ "$erode" -gt 0 ] && shrink=(-virtual-pixel black -morphology Erode "Square:$erode")
  box=$(convert "$tmp/screen.png" -fuzz 12% -fill black +opaque "$colour" \
    \( +clone -fill black -colorize 100 -fill white -draw "rectangle $x0,$y0 $x1,$y1" \) \
    -compose multiply -composite "${shrink[@]}" -format '%@' info: 2>/dev/null)
  # Nothing found reads "0x0+...".
  [[ $box == 0x* ]] || echo "$box"
}

# bbox_of colour [top] -> bbox_in below row top, eroded by 5.
bbox_of() { bbox_in "$1" 0 "${2:-0}" 100000 100000 5; }
