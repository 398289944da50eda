#!/usr/bin/env bash
# scripts/run without a display: its screenshot waits for the viewer's window to be shown and
# painted, however late the start (here 3 s late), and says why when there is nothing to take.
source "$(dirname "$0")/lib.sh"
source "$(dirname "$0")/../../scripts/common.sh"
start_desktop
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'

bash -c 'sleep 3; exec "$0"' "$BIN/Comment" >>"$SCRATCH/app.log" 2>&1 &
APP_PID=$!
check "a late window is taken once painted" \
  screenshot_when_painted "$APP_PID" "$TITLE" "$SCRATCH/late.png" 60
colours=$(identify -format '%k' "$SCRATCH/late.png" 2>/dev/null || echo 0)
check "the screenshot is not one colour ($colours colours)" test "$colours" -gt 16
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null; APP_PID=''

sleep 60 &
APP_PID=$!
why=$(screenshot_when_painted "$APP_PID" "$TITLE" "$SCRATCH/none.png" 2 2>&1); rc=$?
check "no window: it fails after the time given ($why)" \
  test $rc -ne 0 -a ! -e "$SCRATCH/none.png" -a "$why" = "no window \"$TITLE\" appeared within 2 s"
kill "$APP_PID"; wait "$APP_PID" 2>/dev/null; APP_PID=''

true &
APP_PID=$!
why=$(screenshot_when_painted "$APP_PID" "$TITLE" "$SCRATCH/none.png" 30 2>&1); rc=$?
check "a program that ends: it fails at once ($why)" \
  test $rc -ne 0 -a "$why" = "the program ended before its window \"$TITLE\" was painted"
APP_PID=''
finish
