#!/usr/bin/env bash
# A comment found by the search is chosen as a click on its line would choose it: with three
# received comments, the newest selected at the start, a jump to the oldest and ﾌｧｲﾙ → 保存 keeps
# the oldest alone; the newest stays received.
source "$(dirname "$0")/lib.sh"
start_desktop 1600x900
make_suite
comment_file "$SUITE/RecvData" COMMENT.001 '　Dividend 配当方針の連絡' '2026-12-05 09:00'
comment_file "$SUITE/RecvData" COMMENT.002 '　休場日の連絡' '2026-12-06 09:00'
comment_file "$SUITE/RecvData" COMMENT.003 '　障害復旧の連絡' '2026-12-07 09:00'
store_bounds 10 10 900 600
start_viewer

open_search_panel
# Only the oldest holds the word.
xdotool type --delay 60 dividend
settle 1
xdotool key Return
settle 1

menu alt+f s
saved() { [ -f "$SUITE/Result/COMMENT/COMMENT.001" ]; }
check "ﾌｧｲﾙ → 保存 keeps the comment the search showed" wait_for 5 saved
settle
check "the comment selected before the jump stays received" test -f "$SUITE/RecvData/COMMENT.003"
check "the third comment stays received" test -f "$SUITE/RecvData/COMMENT.002"
check "nothing else was kept ($(ls "$SUITE/Result/COMMENT" | tr '\n' ' '))" \
  test "$(ls "$SUITE/Result/COMMENT" | wc -l)" -eq 1
kill -9 "$APP_PID" 2>/dev/null; APP_PID=''
finish
