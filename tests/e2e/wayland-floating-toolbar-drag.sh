#!/usr/bin/env bash
# Wayland only (weston's X11 backend inside Xvfb, which takes real X input from xdotool; its
# headless backend takes none): a floating toolbar dragged by its caption onto a dock docks there,
# as under X11, and no floating place is stored that nobody could measure. weston's kiosk shell
# fills the screen with the main window and centres the floating window over it.
source "$(dirname "$0")/lib.sh"
command -v weston >/dev/null || { echo "SKIP: weston is not installed (scripts/test installs it)"; exit $SKIP; }
ls /usr/lib/*/libweston-*/x11-backend.so >/dev/null 2>&1 || { echo "SKIP: weston has no X11 backend"; exit $SKIP; }
ls /usr/lib/*/qt6/plugins/platforms/libqwayland-generic.so >/dev/null 2>&1 ||
  { echo "SKIP: Qt's Wayland plugin is not installed (qt6-wayland)"; exit $SKIP; }
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡'
export DBUS_SESSION_BUS_ADDRESS="unix:path=$SCRATCH/no-session-bus"
WIDTH=1000 HEIGHT=700

WESTON_PID=''
trap '[ -n "$WESTON_PID" ] && kill "$WESTON_PID" 2>/dev/null; cleanup' EXIT
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$SCRATCH/display" >"$SCRATCH/xvfb.log" 2>&1 &
XVFB_PID=$!
wait_for 10 test -s "$SCRATCH/display" || { echo "Xvfb did not start"; cat "$SCRATCH/xvfb.log"; exit 1; }
export DISPLAY=":$(head -n 1 "$SCRATCH/display")"
weston --backend=x11-backend.so --use-pixman --shell=kiosk-shell.so --socket=comment-drag \
  --width=$WIDTH --height=$HEIGHT --idle-time=0 >"$SCRATCH/weston.log" 2>&1 &
WESTON_PID=$!
wait_for 10 test -S "$XDG_RUNTIME_DIR/comment-drag" || { echo "weston did not start"; cat "$SCRATCH/weston.log"; exit 1; }
# weston's output is an X window at the root's corner: screen and output coordinates agree.
xwininfo -root -tree | grep -q "${WIDTH}x${HEIGHT}+0+0" || { echo "weston's window is not at 0,0"; xwininfo -root -tree; exit 1; }
export WAYLAND_DISPLAY=comment-drag QT_QPA_PLATFORM=wayland

configured() { [ "$(grep -c 'xdg_surface@[0-9]*\.ack_configure' "$SCRATCH/app.log")" -ge "$1" ]; }
# Starts the viewer on Wayland (no X display for it) and waits until its windows have been
# configured and painted.
start_on_weston() {
  env -u DISPLAY WAYLAND_DEBUG=client "$BIN/Comment" >"$SCRATCH/app.log" 2>&1 &
  APP_PID=$!
  wait_for 60 configured "$1" ||
    { fail "$1 windows were not configured"; tail -n 20 "$SCRATCH/app.log"; exit 1; }
  settle 2
}
stop_viewer() {
  kill -TERM "$APP_PID"
  ends_within 20 || { fail "the viewer did not end on SIGTERM"; kill -9 "$APP_PID"; APP_PID=''; }
}
layout() { reg query "$KEY\\Toolbar3" "$1" 2>/dev/null | awk -v n="$1" '$1 == n { print $3 }'; }

start_on_weston 1  # the first start stores the layout
stop_viewer
reg add "$KEY\\Toolbar3" DockedTo + >/dev/null  # it floats at the next start

start_on_weston 2
# The floating window's caption: the rows of the caption colour (the palette's highlight, as Qt
# gives it here) that run across at least 60 pixels; its middle, and a point 30 pixels into it.
import -window root "$SCRATCH/screen.png"
read -r caption_x caption_y < <(import -window root -depth 8 txt:- 2>/dev/null | awk -F'[,: ]+' '
  /#308CC6/ { n[$2]++; if (!($2 in first)) first[$2] = $1 }
  END { for (y in n) if (n[y] >= 60) { rows++; sum += y; if (x == "" || first[y] < x) x = first[y] }
        if (rows) print x + 30, int(sum / rows) }')
[ -n "${caption_y:-}" ] || { fail "the floating toolbar's caption was not found on the screen"; finish; }
echo "the floating toolbar's caption is at $caption_x,$caption_y"

# Drag it by real pointer moves to the left edge of the main window, which fills the screen: the
# empty left dock there takes a toolbar whose pointer reaches its edge. Drop it there.
below='40x60+0+400'  # under the pointer's place on the dock, clear of the dragged picture
before=$(looks_at "$below")
xdotool mousemove "$caption_x" "$caption_y"; settle 0.3
xdotool mousedown 1; settle 0.3
for step in 1 2 3 4 5 6 7 8; do
  xdotool mousemove $((caption_x - step * caption_x / 8)) $((caption_y + step * (HEIGHT / 2 - caption_y) / 8))
  sleep 0.15
done
settle 0.5
import -window root "$SCRATCH/over-dock.png"
check "over the dock, the outline of the docked toolbar is drawn at the pointer" test "$(looks_at "$below")" != "$before"
xdotool mouseup 1
settle 1.5
stop_viewer
check "dropped on the left dock, the toolbar is docked there ($(layout DockedTo))" test "$(layout DockedTo)" = Dock2
check "no floating place was stored, since none was measured ($(layout FloatLeft) $(layout FloatTop))" \
  test -z "$(layout FloatLeft)$(layout FloatTop)$(layout FloatRightX)"
check "no message box was shown" test ! -s "$SCRATCH/messages.log"
kill "$WESTON_PID" 2>/dev/null; wait "$WESTON_PID" 2>/dev/null; WESTON_PID=''
finish
