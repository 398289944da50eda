#!/usr/bin/env bash
# The suite folder has a Japanese name with a blank: the received comments are listed and 全保存
# moves them into the saved folder.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite "$SCRATCH/home/ドキュメント/株式 ブレボン"
comment_file "$SUITE/RecvData" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'
comment_file "$SUITE/RecvData" CMARKET.001 '　マーケット速報' '2026-12-07 10:00'

start_viewer
menu alt+f l  # 全保存(&L)
moved() { [ -f "$SUITE/Result/COMMENT/COMMENT.001" ] && [ -f "$SUITE/Result/COMMENT/CMARKET.001" ]; }
check "全保存 moves both received comments into Result/COMMENT" wait_for 5 moved
check "RecvData is empty afterwards" bash -c "[ -z \"\$(ls -A '$SUITE/RecvData')\" ]"
check "no message was shown ($(cat "$BREVON_MESSAGE_LOG" 2>/dev/null))" test ! -s "$BREVON_MESSAGE_LOG"
quit_viewer
check "in saved mode the viewer closes with ﾌｧｲﾙ → 終了" test "${APP_RC:-1}" -eq 0
finish
