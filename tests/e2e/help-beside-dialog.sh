#!/usr/bin/env bash
# ヘルプ in 保存設定 and in 配色設定 (dialogs run modally): help comes to the front and takes
# clicks, the wheel, keys and a close (Alt+F4, Esc) while the dialog stays open and usable.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡'
start_viewer

# ｵﾌﾟｼｮﾝ → 保存設定 by the keyboard.
menu alt+o Down Return
DIALOG=$(window_named '^ＡＬＬ保存実行時の各種コメントの保存設定$') || { fail "保存設定 did not open"; finish; }
settle
# The buttons' row is 23 pixels above the bottom: the groups above it grow with a tall caption font.
read -r _ _ _ dh <<<"$(client_geometry "$DIALOG")"
click_at "$DIALOG" 252 $((dh - 23))  # ヘルプ
HELP=$(window_named '^ヘルプ') || { fail "no help window"; finish; }
settle
check "help shows the retention topic ($(xdotool getwindowname "$HELP"))" name_matches "$HELP" 保存設定
check "help is the active window, in front of the dialog" active_is "$HELP"
click_at "$HELP" 40 22  # 目次
check "a click on 目次 in help shows the contents" wait_for 3 name_matches "$HELP" 目次
settle
read -r x y w h <<<"$(client_geometry "$HELP")"
page="$((w - 40))x$((h - 80))+$((x + 20))+$((y + 60))"
before=$(steady_look "$page")
xdotool mousemove $((x + w / 2)) $((y + h / 2)) click --repeat 5 5
check "the wheel scrolls the help page" looks_different_within 3 "$page" "$before"
xdotool key alt+b
check "a key (戻る) in help goes back to the retention topic" wait_for 3 name_matches "$HELP" 保存設定
xdotool key alt+F4
check "help closes with Alt+F4, the window manager's close" wait_for 3 gone '^ヘルプ'
check "the dialog stays open meanwhile" bash -c "xdotool getwindowname $DIALOG >/dev/null"
click_at "$DIALOG" 252 $((dh - 23))  # ヘルプ again
HELP=$(window_named '^ヘルプ') || fail "help did not open a second time"
click_at "$DIALOG" 156 $((dh - 23))  # ｷｬﾝｾﾙ
check "the dialog still takes a click and closes with ｷｬﾝｾﾙ" wait_for 3 gone '^ＡＬＬ保存実行時'
check "help stays open after the dialog has gone" bash -c "sleep 0.5; ! gone '^ヘルプ'"
xdotool windowactivate --sync "$HELP" 2>/dev/null; xdotool key Escape
check "help closes with Esc" wait_for 3 gone '^ヘルプ'

# ｵﾌﾟｼｮﾝ → 配色 and its ヘルプ.
menu alt+o Return
COLORS=$(window_named '^配色設定$') || { fail "配色設定 did not open"; finish; }
settle
read -r _ _ cw ch <<<"$(client_geometry "$COLORS")"
click_at "$COLORS" $((cw - 50)) $((ch - 20))  # ヘルプ, the last button of the bottom row
HELP=$(window_named '^ヘルプ') || { fail "no help window from 配色設定"; finish; }
settle
check "help from 配色設定 shows the colour topic in front" bash -c "name_matches $HELP 配色設定 && active_is $HELP"
xdotool key alt+F4
check "help from 配色設定 closes while the dialog stays open" bash -c "sleep 1; gone '^ヘルプ' && xdotool getwindowname $COLORS >/dev/null"
finish
