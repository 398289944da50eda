#!/usr/bin/env bash
# Under a Wayland compositor (weston, headless): with XWayland the program runs through X11 and says
# so; without it, it runs on Wayland, and starts and closes leave the stored bounds as they were.
source "$(dirname "$0")/lib.sh"
command -v weston >/dev/null || { echo "SKIP: weston is not installed (scripts/test installs it)"; exit $SKIP; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  { echo "SKIP: Qt's Wayland plugin is not installed (qt6-wayland)"; exit $SKIP; }
make_suite
unset QT_QPA_PLATFORM DISPLAY WAYLAND_DISPLAY
# No session bus: nothing may wait for one.
export DBUS_SESSION_BUS_ADDRESS="unix:path=$SCRATCH/no-session-bus"
store_bounds 130 90 900 600

WESTON_PID=''
trap '[ -n "$WESTON_PID" ] && kill "$WESTON_PID" 2>/dev/null; cleanup' EXIT

# start_weston NAME [--xwayland]: a headless compositor on the socket NAME in XDG_RUNTIME_DIR
# (made 0700 by make_suite; weston refuses a runtime folder others can read).
start_weston() {
  local name=$1; shift
  weston --backend=headless-backend.so --socket="$name" --width=1280 --height=800 --idle-time=0 "$@" \
    >"$SCRATCH/weston-$name.log" 2>&1 &
  WESTON_PID=$!
  wait_for 10 test -S "$XDG_RUNTIME_DIR/$name" ||
    { echo "weston did not start"; cat "$SCRATCH/weston-$name.log"; exit 1; }
  export WAYLAND_DISPLAY=$name
}
stop_weston() { kill "$WESTON_PID" 2>/dev/null; wait "$WESTON_PID" 2>/dev/null; WESTON_PID=''; }

# Starts the viewer and waits until its window has been configured by the compositor (the
# protocol trace shows the acknowledgement), or, under X11, until the window is mapped.
start_on_compositor() {
  WAYLAND_DEBUG=client "$BIN/Comment" >"$SCRATCH/app.log" 2>&1 &
  APP_PID=$!
  wait_for 60 grep -q 'ack_configure' "$SCRATCH/app.log" ||
    { fail "no window was configured"; tail -n 20 "$SCRATCH/app.log"; exit 1; }
  settle 1
}

loaded() { grep -q "$1" "/proc/$APP_PID/maps"; }

# ---- with XWayland ----
start_weston comment-xw --xwayland
wait_for 10 grep -q 'xserver listening on display' "$SCRATCH/weston-comment-xw.log" ||
  { echo "weston's XWayland did not start"; cat "$SCRATCH/weston-comment-xw.log"; exit 1; }
DISPLAY=$(sed -n 's/.*xserver listening on display \(:[0-9]*\).*/\1/p' "$SCRATCH/weston-comment-xw.log" | head -n 1)
export DISPLAY
"$BIN/Comment" >"$SCRATCH/app.log" 2>&1 &
APP_PID=$!
check "with XWayland the main window opens through X11" wait_for 60 main_window
check "the X11 plugin is loaded, not Wayland's" bash -c "grep -q libqxcb /proc/$APP_PID/maps && ! grep -q libqwayland /proc/$APP_PID/maps"
check "it says once on stderr which platform and why" \
  test "$(grep -c 'Wayland session with XWayland: using X11 (xcb)' "$SCRATCH/app.log")" -eq 1
kill -TERM "$APP_PID"
check "it ends on SIGTERM" ends_within 20
stop_weston
unset DISPLAY

# ---- Wayland only ----
start_weston comment-wl
store_bounds 130 90 900 600
for n in 1 2 3; do
  start_on_compositor
  check "start $n runs on Wayland" loaded libqwayland
  kill -TERM "$APP_PID"
  if ends_within 20; then
    check "start $n ends on SIGTERM with exit code 0 (was $APP_RC)" test "$APP_RC" -eq 0
  else
    fail "start $n did not end on SIGTERM"; kill -9 "$APP_PID"; APP_PID=''
  fi
  check "start $n leaves the stored bounds as they were ($(setting Left) $(setting Top) $(setting Width) $(setting Height))" \
    test "$(setting Left) $(setting Top) $(setting Width) $(setting Height)" = "130 90 900 600"
done
check "no message box was shown" test ! -s "$SCRATCH/messages.log"
stop_weston
finish
