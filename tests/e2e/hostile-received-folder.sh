#!/usr/bin/env bash
# What other programs may leave where comments are looked for. A pipe under a comment's name: the
# window still appears, and the pipe is a comment that cannot be read. A RecvData that cannot be
# listed (a file where the folder should be: ENOTDIR, which holds for root too): one message names
# the folder and why, and the window opens in saved mode. A start that takes long (two folders of
# identical 2 GB files to compare) ends within a second of SIGTERM.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
comment_file "$SUITE/RecvData" COMMENT.001 '　連絡です' '2026-12-07 09:00'
mkfifo "$SUITE/RecvData/COMMENT.002"
start_viewer
# The newest line (the pipe) is shown first: the box of a comment that cannot be opened comes up,
# titled as the window, which appears once it is answered.
check "the pipe is listed as a comment that cannot be opened ($(cat "$BREVON_MESSAGE_LOG" 2>/dev/null))" \
  grep -q 'COMMENT.002のオープンに失敗しました' "$BREVON_MESSAGE_LOG"
xdotool key Return
has_list() { WID=$(main_window) && [ -n "$WID" ] && xwininfo -id "$WID" | awk '/Width:/ {exit !($2 > 300)}'; }
check "a pipe named COMMENT.002 does not keep the window from appearing" wait_for 10 has_list
menu alt+f l
check "全保存 keeps the comment" wait_for 5 test -f "$SUITE/Result/COMMENT/COMMENT.001"
kill -TERM "$APP_PID"; ends_within 10 || fail "the viewer did not end"

rm -rf "$SUITE/RecvData" "$SUITE/Result/COMMENT"/* && : >"$SUITE/RecvData" && : >"$BREVON_MESSAGE_LOG"
comment_file "$SUITE/Result/COMMENT" CMARKET.001 '　保存した速報' '2026-12-07 10:00'
start_viewer
check "an unreadable RecvData is said once, with the folder and why ($(cat "$BREVON_MESSAGE_LOG"))" \
  bash -c "[ \"\$(grep -c '受信フォルダを読めません（フォルダではありません）' '$BREVON_MESSAGE_LOG')\" -eq 1 ] &&
           grep -q '$SUITE/RecvData' '$BREVON_MESSAGE_LOG'"
quit_viewer
check "and the window opened in saved mode: it closes" test "${APP_RC:-1}" -eq 0

rm -f "$SUITE/RecvData" && mkdir "$SUITE/RecvData"
for n in 1 2 3 4 5 6 7 8; do
  truncate -s 2G "$SUITE/RecvData/CWEKEND.00$n" "$SUITE/Result/COMMENT/CWEKEND.00$n"
done
"$BIN/Comment" >>"$SCRATCH/app.log" 2>&1 &
APP_PID=$!
sleep 2.5
check "the start is still busy after 2.5 s" bash -c "kill -0 $APP_PID && gone \"^$TITLE\$\""
kill -TERM "$APP_PID"
check "SIGTERM ends a start that is still loading within a second" ends_within 1
check "with exit code 0 (${APP_RC:-none})" test "${APP_RC:-1}" -eq 0
finish
