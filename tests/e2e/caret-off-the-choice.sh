#!/usr/bin/env bash
# Only the chosen lines: with the newest comment selected, the caret moved down with Ctrl+Down and
# its line selected and deselected again (Ctrl+Space twice), ﾌｧｲﾙ → 削除 deletes the selected
# comment alone, not the one under the caret.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
comment_file "$SUITE/RecvData" COMMENT.001 '最も古い連絡' '2026-12-05 09:00'
comment_file "$SUITE/RecvData" COMMENT.002 'キャレットの連絡' '2026-12-06 09:00'
comment_file "$SUITE/RecvData" COMMENT.003 '選んだ連絡' '2026-12-07 09:00'
store_bounds 10 10 900 600
start_viewer

xdotool windowactivate --sync "$WID" 2>/dev/null; settle 0.3
xdotool key --clearmodifiers ctrl+Down; settle 0.3
xdotool key --clearmodifiers ctrl+space; settle 0.3
xdotool key --clearmodifiers ctrl+space; settle 0.3
menu alt+f d
deleted() { [ ! -e "$SUITE/RecvData/COMMENT.003" ]; }
check "ﾌｧｲﾙ → 削除 deletes the selected comment" wait_for 5 deleted
settle
check "the comment under the caret, chosen and unchosen again, stays" test -f "$SUITE/RecvData/COMMENT.002"
check "the third comment stays" test -f "$SUITE/RecvData/COMMENT.001"
check "nothing was kept instead" test -z "$(ls "$SUITE/Result/COMMENT")"
kill -9 "$APP_PID" 2>/dev/null; APP_PID=''
finish
