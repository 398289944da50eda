#!/usr/bin/env bash
# A screen reader on the session's accessibility bus finds the three toolbars named by what they
# hold and every shown toolbar button named, with an action; pressing the market flash button through that action switches the category, as a click
# does.
source "$(dirname "$0")/lib.sh"
start_desktop
start_atspi
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'
comment_file "$SUITE/Result/COMMENT" CMARKET.001 '　日産、続落' '2026-12-07 15:00'
store_bounds 10 10 900 600
start_viewer

check "the toolbars are named by what they hold" \
  "${PROBE[@]}" "$APP_PID" toolbars 'コメント操作' 'カテゴリ' '表示と印刷'
check "every shown toolbar button is named and has an action" "${PROBE[@]}" "$APP_PID" buttons
check "the font size is a named spin button" "${PROBE[@]}" "$APP_PID" named 'ﾌｫﾝﾄｻｲｽﾞ変更'
check "the comment category button is checked at start" "${PROBE[@]}" "$APP_PID" checked 'お知らせ表示'
check "the market flash button can be pressed" "${PROBE[@]}" "$APP_PID" press 'ﾏｰｹｯﾄ速報表示'
check "the market flash button is checked after the press" \
  wait_for 5 "${PROBE[@]}" "$APP_PID" checked 'ﾏｰｹｯﾄ速報表示'
check "the comment category button came up" \
  "${PROBE[@]}" "$APP_PID" unchecked 'お知らせ表示'
quit_viewer
check "the window had switched to the market flash category (DispMode $(setting DispMode))" \
  test "$(setting DispMode)" = 1
finish
