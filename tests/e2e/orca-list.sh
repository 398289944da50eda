#!/usr/bin/env bash
# Orca reads the current comment line, not only "List with N items": when the window opens, after
# a command that refills the list (保存) and when the list gets the keyboard back.
source "$(dirname "$0")/lib.sh"
start_desktop
start_atspi
make_suite
comment_file "$SUITE/RecvData" COMMENT.001 '　届いた連絡' '2026-12-07 11:00'
comment_file "$SUITE/RecvData" COMMENT.002 '　届いた二番' '2026-12-07 12:00'
store_bounds 10 10 900 600
start_orca
m=$(mark)
start_viewer
check "the current line is read at start" hears 15 "$m" "List with 2 items"
check "... and then its text" hears 10 "$m" "'2026年12月7日 *届いた二番\."
m=$(mark); press alt+f s
check "after 保存 the line that is current now is read" hears 15 "$m" "'2026年12月7日 *届いた連絡\."
press Tab
m=$(mark); press shift+Tab
check "the list getting the keyboard back reads its current line" hears 10 "$m" "'2026年12月7日 *届いた連絡\."
finish
