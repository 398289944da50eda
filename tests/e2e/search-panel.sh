#!/usr/bin/env bash
# Ctrl+F opens the search panel beside the main window; a word typed there finds a comment of
# another category by its full-width spelling, Enter shows it with the word marked, the window
# switches to that category and the main window has the keyboard; Ctrl+F goes back to the panel,
# closing it leaves the main window open.
source "$(dirname "$0")/lib.sh"
start_desktop 1600x900
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'
comment_file "$SUITE/Result/COMMENT" CMARKET.001 '　ＴＯＹＯＴＡ、年初来高値' '2026-12-06 15:00'
comment_file "$SUITE/Result/COMMENT" CMARKET.002 '　日産、続落' '2026-12-07 15:00'
store_bounds 10 10 900 600
start_viewer

open_search_panel
read -r mx _ mw _ <<<"$(client_geometry "$WID")"
read -r px _ _ _ <<<"$(client_geometry "$PANEL")"
check "the panel stands beside the main window, not over it ($px >= $mx + $mw)" test "$px" -ge $((mx + mw))
check "the panel has the keyboard" active_is "$PANEL"

# The marks are drawn in one colour of their own; look for it in the main window.
marked() {
  import -window "$WID" "$SCRATCH/main.png" 2>/dev/null &&
    [ "$(convert "$SCRATCH/main.png" -fill black +opaque '#FFE13C' -fill white -opaque '#FFE13C' \
         -format '%[fx:mean>0]' info:)" = 1 ]
}
unmarked() { ! marked; }
xdotool type --delay 60 toyota
settle 1
check "nothing is marked before a result is chosen" unmarked
xdotool key Return
check "Enter shows the comment with the word marked" wait_for 5 marked
check "Enter hands the keyboard to the main window" wait_for 3 active_is "$WID"
xdotool key --clearmodifiers ctrl+f
check "Ctrl+F gives the keyboard back to the panel" wait_for 3 active_is "$PANEL"

xdotool key alt+F4
check "the panel closes with Alt+F4" wait_for 3 gone '^コメントの検索$'
check "the main window stays open" bash -c "xdotool getwindowname $WID >/dev/null"
quit_viewer
check "the window had switched to the market flash category (DispMode $(setting DispMode))" \
  test "$(setting DispMode)" = 1
finish
