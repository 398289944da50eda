#!/usr/bin/env bash
# A screen reader on the session's accessibility bus finds the comment list and the comment view
# named, and every field of the search panel, the colour and the retention dialogs named.
source "$(dirname "$0")/lib.sh"
start_desktop
start_atspi
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'
store_bounds 10 10 900 600
start_viewer

check "the list is named" "${PROBE[@]}" "$APP_PID" named 'コメント一覧'
check "the view is named" "${PROBE[@]}" "$APP_PID" named 'コメント本文'

# dialog TITLE COMMAND...: opens the dialog by the command, checks its fields, closes it.
dialog() {
  local title=$1; shift
  "$@"
  local id
  id=$(window_named "^$title\$") || { fail "$title did not open"; return; }
  settle
  check "every field of $title is named" "${PROBE[@]}" "$APP_PID" fields "$title"
  xdotool windowactivate --sync "$id" 2>/dev/null; xdotool key alt+F4
  wait_for 5 gone "^$title\$" || fail "$title did not close"
}
open_search() { xdotool windowactivate --sync "$WID" 2>/dev/null; settle 0.3; xdotool key --clearmodifiers ctrl+f; }
dialog 'コメントの検索' open_search
dialog '印刷' "${PROBE[@]}" "$APP_PID" press '印刷'
dialog '配色設定' menu alt+o Return
dialog 'ＡＬＬ保存実行時の各種コメントの保存設定' menu alt+o Down Return
quit_viewer
finish
