# shellcheck shell=bash
# Shared by the end-to-end tests: a virtual X display of its own with openbox on it, a scratch
# suite and settings store, the real program, and real X input through xdotool.
# Each test script sources this file; COMMENT_BIN names the build's bin folder.
set -uo pipefail
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=0}

BIN=${COMMENT_BIN:?COMMENT_BIN must name the folder of Comment and brvreg}
KEY='Software\Brevon\Comment'
TITLE='Brevonコメント情報'
SKIP=77  # ctest's skip code for these tests

for tool in Xvfb openbox xdotool xwininfo xprop import iconv; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed (scripts/test installs it)"; exit $SKIP; }
done

SCRATCH=$(mktemp -d /tmp/comment-e2e-XXXXXX)
XVFB_PID='' WM_PID='' APP_PID='' BUS_PID=''
failures=0

cleanup() {
  [ -n "$APP_PID" ] && kill -9 "$APP_PID" 2>/dev/null
  [ -n "$WM_PID" ] && kill "$WM_PID" 2>/dev/null
  [ -n "$BUS_PID" ] && kill "$BUS_PID" 2>/dev/null
  [ -n "$XVFB_PID" ] && kill "$XVFB_PID" 2>/dev/null
  wait 2>/dev/null
  if [ "$failures" -eq 0 ]; then rm -rf "$SCRATCH"; else echo "kept for inspection: $SCRATCH"; fi
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
check() {  # check "what" command...
  local what=$1; shift
  if "$@"; then echo "ok    $what"; else fail "$what"; fi
}
finish() { [ "$failures" -eq 0 ]; exit $?; }

# wait_for SECONDS command...: polls until the command succeeds.
wait_for() {
  local tries=$(( $1 * 10 )); shift
  while [ "$tries" -gt 0 ]; do "$@" >/dev/null 2>&1 && return 0; sleep 0.1; tries=$((tries - 1)); done
  return 1
}

wm_running() { xprop -root -notype _NET_SUPPORTING_WM_CHECK | grep -q 'window id'; }

# A screen of WIDTHxHEIGHT (default 1280x800) with openbox managing it and a session bus. Xvfb
# picks a free display number itself, so tests and other users of the machine never collide.
start_desktop() {
  local size=${1:-1280x800}
  Xvfb -displayfd 3 -screen 0 "${size}x24" -nolisten tcp 3>"$SCRATCH/display" >"$SCRATCH/xvfb.log" 2>&1 &
  XVFB_PID=$!
  wait_for 10 test -s "$SCRATCH/display" || { echo "Xvfb did not start"; cat "$SCRATCH/xvfb.log"; exit 1; }
  export DISPLAY=":$(head -n 1 "$SCRATCH/display")"
  unset WAYLAND_DISPLAY
  # A desktop has a session bus. Without one, libdbus tries to launch one through X when Qt makes
  # the menu bar, and under load that could stall the start for good.
  if command -v dbus-daemon >/dev/null; then
    local bus
    bus=$(dbus-daemon --session --fork --print-address=1 --print-pid=1) || { echo "dbus-daemon did not start"; exit 1; }
    export DBUS_SESSION_BUS_ADDRESS=${bus%%$'\n'*}
    BUS_PID=${bus##*$'\n'}
  else
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$SCRATCH/no-session-bus"
  fi
  openbox --sm-disable >"$SCRATCH/openbox.log" 2>&1 &
  WM_PID=$!
  wait_for 10 wm_running ||
    { echo "openbox did not start"; cat "$SCRATCH/openbox.log"; exit 1; }
}

# A suite folder (BREVON_HOME, default $SCRATCH/suite) and its settings store.
make_suite() {
  SUITE=${1:-$SCRATCH/suite}
  mkdir -p "$SUITE/RecvData" "$SUITE/Result/COMMENT" "$SUITE/Data" "$SCRATCH/home" "$SCRATCH/runtime"
  chmod 700 "$SCRATCH/runtime"
  export BREVON_HOME=$SUITE BREVON_REGISTRY=$SCRATCH/registry.ini BREVON_MESSAGE_LOG=$SCRATCH/messages.log
  export HOME=$SCRATCH/home XDG_CONFIG_HOME=$SCRATCH/home/.config XDG_RUNTIME_DIR=$SCRATCH/runtime
  export QT_QPA_PLATFORM=xcb
}

# comment_file FOLDER NAME "title" [touch-date]: one comment file, code page 932 with CRLF.
comment_file() {
  printf '%s\r\n2026年12月7日\r\n本文です。\r\n' "$3" | iconv -f UTF-8 -t CP932 >"$1/$2"
  [ -n "${4:-}" ] && touch -d "$4" "$1/$2"
  return 0
}

reg() { "$BIN/brvreg" "$@"; }
# The settings value NAME of the viewer, or empty.
setting() { reg query "$KEY" "$1" 2>/dev/null | awk -v n="$1" '$1 == n { print $3 }'; }
set_setting() { reg add "$KEY" "$1" "$2" >/dev/null; }
# store_bounds LEFT TOP WIDTH HEIGHT: the window's stored place, so that it does not start centred.
store_bounds() { set_setting Left "$1"; set_setting Top "$2"; set_setting Width "$3"; set_setting Height "$4"; }

main_window() { xdotool search --onlyvisible --name "^$TITLE\$" 2>/dev/null | head -n 1; }

# Starts the viewer and waits for its main window (WID).
start_viewer() {
  "$BIN/Comment" >>"$SCRATCH/app.log" 2>&1 &
  APP_PID=$!
  WID=''
  local tries=300
  while [ $tries -gt 0 ] && [ -z "$WID" ]; do
    kill -0 "$APP_PID" 2>/dev/null || { echo "the viewer ended at start"; cat "$SCRATCH/app.log"; exit 1; }
    WID=$(main_window); sleep 0.1; tries=$((tries - 1))
  done
  [ -n "$WID" ] || { echo "no main window"; exit 1; }
  settle
}

# Lets the window manager and the program finish what they do with the last input.
settle() { sleep "${1:-0.6}"; }

# Ctrl+F in the main window: sets PANEL to the search panel, or fails the test and ends it.
open_search_panel() {
  xdotool windowactivate --sync "$WID" 2>/dev/null; settle 0.3
  xdotool key --clearmodifiers ctrl+f
  PANEL=$(window_named '^コメントの検索$') || { fail "Ctrl+F did not open the search panel"; finish; }
  settle
}

# ends_within SECONDS: true when the viewer has ended by then (its exit code in APP_RC).
ends_within() {
  local tries=$(( $1 * 10 ))
  while [ $tries -gt 0 ]; do
    if ! kill -0 "$APP_PID" 2>/dev/null; then wait "$APP_PID"; APP_RC=$?; APP_PID=''; return 0; fi
    sleep 0.1; tries=$((tries - 1))
  done
  return 1
}

# menu ALT-KEY KEYS...: opens a menu of the main window by its accelerator and types KEYS in it.
menu() {
  local accel=$1; shift
  xdotool windowactivate --sync "$WID" 2>/dev/null; settle 0.3
  xdotool key --clearmodifiers "$accel"; settle 0.5
  xdotool key "$@"
}

# Closes the viewer as a user does, ﾌｧｲﾙ → 終了 by the keyboard, and waits for it to end. A busy
# machine may open the menu late: the keys are typed again, up to three times.
quit_viewer() {
  local attempt
  for attempt in 1 2 3; do
    menu alt+f x
    ends_within $((attempt * 5)) && return 0
    xdotool key Escape Escape
  done
  fail "the viewer did not end after ﾌｧｲﾙ → 終了"; kill -9 "$APP_PID"; APP_PID=''; return 1
}

# Client and frame of a window: "x y width height" of the client, and the frame extents
# "left right top bottom" the window manager reports.
client_geometry() {
  xwininfo -id "$1" | awk '/Absolute upper-left X/ {x=$4} /Absolute upper-left Y/ {y=$4}
    /^ *Width:/ {w=$2} /^ *Height:/ {h=$2} END {print x, y, w, h}'
}
frame_extents() { xprop -id "$1" _NET_FRAME_EXTENTS | sed 's/.*= //; s/,//g'; }

# Double-clicks the window's title bar, which maximises or restores it under openbox.
toggle_maximised() {
  local x y w h fl fr ft fb
  read -r x y w h <<<"$(client_geometry "$1")"
  read -r fl fr ft fb <<<"$(frame_extents "$1")"
  xdotool mousemove $((x + w / 2)) $((y - ft / 2)) click --repeat 2 --delay 80 1
}
maximised() { xprop -id "$1" _NET_WM_STATE | grep -q '_NET_WM_STATE_MAXIMIZED_VERT.*_NET_WM_STATE_MAXIMIZED_HORZ\|_NET_WM_STATE_MAXIMIZED_HORZ.*_NET_WM_STATE_MAXIMIZED_VERT'; }
not_maximised() { ! maximised "$1"; }
# The work area "x y width height" the window manager leaves to windows.
work_area() { xprop -root _NET_WORKAREA | sed 's/.*= //; s/,//g' | awk '{print $1, $2, $3, $4}'; }

# window_named REGEX: the first visible window whose name matches, waiting up to ten seconds.
window_named() {
  local id tries=100
  while [ $tries -gt 0 ]; do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | head -n 1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1; tries=$((tries - 1))
  done
  return 1
}
gone() { ! xdotool search --onlyvisible --name "$1" >/dev/null 2>&1; }
active_is() { [ "$(xdotool getactivewindow 2>/dev/null)" = "$1" ]; }
name_matches() { xdotool getwindowname "$1" 2>/dev/null | grep -q -- "$2"; }
export -f gone active_is name_matches  # for checks that join several conditions in `bash -c`

# click_at WINDOW X Y: a left click at X, Y of the window's client area.
click_at() {
  local x y w h
  read -r x y w h <<<"$(client_geometry "$1")"
  xdotool mousemove $((x + $2)) $((y + $3)) click 1
}

# A picture of the screen's rectangle WxH+X+Y, as a checksum.
looks_at() { import -window root -crop "$1" +repage rgb:- 2>/dev/null | md5sum | cut -d' ' -f1; }
# The same once the picture has stopped changing (the program has painted).
steady_look() {
  local last now tries=15
  last=$(looks_at "$1")
  while [ $tries -gt 0 ]; do
    sleep 0.15; now=$(looks_at "$1")
    [ "$now" = "$last" ] && { echo "$now"; return; }
    last=$now; tries=$((tries - 1))
  done
  echo "$now"
}
# looks_different_within SECONDS BOX CHECKSUM: the rectangle comes to look different from CHECKSUM.
looks_different_within() {
  local tries=$(( $1 * 5 ))
  while [ $tries -gt 0 ]; do
    [ "$(looks_at "$2")" != "$3" ] && return 0
    sleep 0.2; tries=$((tries - 1))
  done
  return 1
}

# drag X0 Y0 X1 Y1: a left-button drag in small steps, as a hand makes it.
drag() {
  local i steps=10
  xdotool mousemove "$1" "$2" mousedown 1; sleep 0.2
  for i in $(seq 1 $steps); do
    xdotool mousemove $(( $1 + ($3 - $1) * i / steps )) $(( $2 + ($4 - $2) * i / steps )); sleep 0.05
  done
  sleep 0.2; xdotool mouseup 1; settle
}

# The accessibility bus of the session (at-spi2-core) with assistive technology switched on, as a
# desktop has it while a screen reader runs; PROBE asks it what the program shows (pyatspi).
ATSPI_PID=''
PROBE=(/usr/bin/python3 "$(dirname "${BASH_SOURCE[0]}")/atspi_probe.py")
start_atspi() {
  local launcher=/usr/libexec/at-spi-bus-launcher
  [ -x "$launcher" ] || { echo "SKIP: at-spi2-core is not installed (scripts/test installs it)"; exit $SKIP; }
  /usr/bin/python3 -c 'import pyatspi' 2>/dev/null ||
    { echo "SKIP: python3-pyatspi is not installed (scripts/test installs it)"; exit $SKIP; }
  "$launcher" --launch-immediately >"$SCRATCH/atspi.log" 2>&1 &
  ATSPI_PID=$!
  trap 'kill "$ATSPI_PID" 2>/dev/null; cleanup' EXIT
  wait_for 10 "${PROBE[@]}" enable || { echo "the accessibility bus did not start"; cat "$SCRATCH/atspi.log"; exit 1; }
}

# Orca, the screen reader, on the accessibility bus, speaking through speech-dispatcher's dummy
# module: every utterance is a line "SPEECH OUTPUT: '…'" in $ORCA_LOG. Orca writes that file
# through a buffer; the copy of its launcher made here opens it line by line, so a test reads what
# was said while Orca runs, and it does not refuse to start beside another test's Orca of the same
# user. Needs make_suite (the configuration folder) and start_atspi first.
ORCA_PID=''
start_orca() {
  local launcher=/usr/bin/orca module=/usr/lib/speech-dispatcher-modules/sd_dummy
  [ -r "$launcher" ] && [ -x "$module" ] ||
    { echo "SKIP: orca or speech-dispatcher is not installed (scripts/test installs them)"; exit $SKIP; }
  mkdir -p "$XDG_CONFIG_HOME/speech-dispatcher" "$SCRATCH/orca"
  cat >"$XDG_CONFIG_HOME/speech-dispatcher/speechd.conf" <<'CONF'
AddModule "dummy" "sd_dummy" ""
DefaultModule dummy
AudioOutputMethod "none"
Timeout 5
CONF
  sed -e "s/open(args.debug_file, 'w')/open(args.debug_file, 'w', buffering=1)/" \
      -e 's/^    if otherOrcas():/    if False:/' "$launcher" >"$SCRATCH/orca-launcher"
  grep -q 'buffering=1' "$SCRATCH/orca-launcher" && grep -q '^    if False:' "$SCRATCH/orca-launcher" ||
    { fail "this Orca's launcher is not the one the test knows how to copy"; finish; }
  ORCA_LOG=$SCRATCH/orca.log
  /usr/bin/python3 "$SCRATCH/orca-launcher" -u "$SCRATCH/orca" --debug-file="$ORCA_LOG" \
    >"$SCRATCH/orca.out" 2>&1 &
  ORCA_PID=$!
  trap 'stop_orca; kill "$ATSPI_PID" 2>/dev/null; cleanup' EXIT
  wait_for 30 grep -q "SPEECH OUTPUT: 'Screen reader on.'" "$ORCA_LOG" ||
    { echo "Orca did not start speaking"; tail -n 20 "$SCRATCH/orca.out" "$ORCA_LOG"; exit 1; }
}

# Orca, and the speech-dispatcher it started for this session (its pid file is in our runtime folder).
stop_orca() {
  [ -n "$ORCA_PID" ] && kill "$ORCA_PID" 2>/dev/null
  local pidfile=$XDG_RUNTIME_DIR/speech-dispatcher/pid/speech-dispatcher.pid
  [ -s "$pidfile" ] && kill "$(cat "$pidfile")" 2>/dev/null
  ORCA_PID=''
}

# What Orca said, one utterance a line, from line N of the log on (spoken_from MARK).
said_since() { tail -n "+$(( $1 + 1 ))" "$ORCA_LOG" | sed -n "s/^.*SPEECH OUTPUT: '\(.*\)' \?{'established.*$/\1/p"; }
mark() { wc -l <"$ORCA_LOG"; }
# not_said MARK REGEX: nothing Orca said after MARK matches REGEX.
not_said() { ! said_since "$1" | grep -q -- "$2"; }
# hears SECONDS MARK REGEX: Orca says something matching REGEX after MARK, within SECONDS.
hears() { wait_for "$1" bash -c 'tail -n "+$(( $2 + 1 ))" "$1" | grep "SPEECH OUTPUT:" | grep -q -- "$3"' _ "$ORCA_LOG" "$2" "$3"; }

# press KEY...: keys typed one at a time, each once Orca has seen it (a modifier held down until
# the key with it is seen). With a screen reader the program receives a key only after the reader
# has, and keys typed faster than that may come in a different order or reach a menu not yet open.
orca_saw() {  # orca_saw KIND COUNT-BEFORE: waits until Orca has processed one more key event of KIND
  wait_for 5 bash -c '[ "$(grep -c "^vvvvv PROCESS ATSPI_KEY_$1_EVENT" "$2")" -gt "$3" ]' _ "$1" "$ORCA_LOG" "$2"
}
key_events() { grep -c "^vvvvv PROCESS ATSPI_KEY_$1_EVENT" "$ORCA_LOG"; }
press() {
  local key n
  for key; do
    if [[ $key == *+* ]]; then
      n=$(key_events PRESSED); xdotool keydown "${key%%+*}"; orca_saw PRESSED "$n"
      press "${key#*+}"
      n=$(key_events RELEASED); xdotool keyup "${key%%+*}"; orca_saw RELEASED "$n"
    else
      n=$(key_events RELEASED); xdotool key "$key"; orca_saw RELEASED "$n"
    fi
    settle 0.3
  done
}
