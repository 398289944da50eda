#!/usr/bin/env bash
# Orca in the search panel: the count is spoken once typing stops, the typed letters are still
# echoed with results there (the results do not take the reader's focus), and choosing a result
# speaks the comment the main window then shows.
source "$(dirname "$0")/lib.sh"
start_desktop
start_atspi
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　ABC株式の連絡' '2026-12-07 09:00'
comment_file "$SUITE/Result/COMMENT" COMMENT.002 '　ABD速報' '2026-12-07 10:00'
store_bounds 10 10 900 600
start_orca
start_viewer
xdotool windowactivate --sync "$WID"
m=$(mark); press ctrl+f
check "the panel opens in its field" hears 10 "$m" "検索する語句"
m=$(mark); press a
check "two results are counted" hears 10 "$m" "'notification 2 件\.'"
m=$(mark); press b
check "the same count after more typing is spoken again" hears 10 "$m" "'notification 2 件\.'"
m=$(mark); press c
check "the next letter is still echoed" hears 10 "$m" "'c '"
check "... and the count follows" hears 10 "$m" "'notification 1 件\.'"
check "the results did not take the reader's focus" not_said "$m" "検索結果\|2026/12/07"
m=$(mark); press Down
check "Down goes into the results" hears 10 "$m" "検索結果"
m=$(mark); press Return
check "choosing a result speaks the comment shown" hears 15 "$m" "'2026年12月7日 *ABC株式の連絡\.'"
finish
