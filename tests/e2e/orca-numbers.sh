#!/usr/bin/env bash
# Orca reads each number field with its up-down as one spin button, by its name and the whole
# number, and speaks every new value the arrow and page keys step to: the font size in the main
# window, a retention count holding 500 and a print margin holding 0.
source "$(dirname "$0")/lib.sh"
start_desktop
start_atspi
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'
store_bounds 10 10 900 600
set_setting Version 3; set_setting MaxCmntInfo0 500; set_setting PageTop 0
start_orca
start_viewer
xdotool windowactivate --sync "$WID"

m=$(mark); press Tab Tab
check "Tab reaches the font size, read whole" hears 10 "$m" "ﾌｫﾝﾄｻｲｽﾞ変更 12 spin button"
m=$(mark); press Up
check "Up is heard as the new size" hears 10 "$m" "^[^']*'15'"
m=$(mark); press Down
check "Down is heard as the new size" hears 10 "$m" "^[^']*'12'"

m=$(mark); press alt+o Down Return
check "the retention dialog opens on its first count, read whole" \
  hears 15 "$m" "連絡コメント 件数 500 spin button"
m=$(mark); press Down
check "Down in a count is heard" hears 10 "$m" "^[^']*'499'"
m=$(mark); press Page_Down
check "Page Down in a count is heard" hears 10 "$m" "^[^']*'489'"
m=$(mark); press Page_Up Page_Up
check "Page Up stops at the maximum and is heard" hears 10 "$m" "^[^']*'500'"
# Esc and Enter do nothing here: back to ｷｬﾝｾﾙ and Space, as a keyboard user closes it. (Alt+F4 is
# the window manager's: it never reaches the reader, and now and then the next Alt+F was lost.)
for _ in 1 2 3 4 5 6 7 8 9 10; do
  m=$(mark); press shift+Tab
  hears 3 "$m" "ｷｬﾝｾﾙ" && break
done
press space
wait_for 10 gone '^ＡＬＬ保存実行時の各種コメントの保存設定$'

press alt+f p
window_named '^印刷$' >/dev/null || fail "ﾌｧｲﾙ → 印刷 did not open the print dialog"
m=$(mark); press Tab Tab Tab  # from OK past ｷｬﾝｾﾙ and ﾌﾟﾘﾝﾀの設定
check "the print dialog's top margin is read as 0" hears 10 "$m" "上マージン 0 spin button"
m=$(mark); press Up
check "Up in a margin is heard" hears 10 "$m" "^[^']*'1'"
press alt+F4
finish
