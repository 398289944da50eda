#!/usr/bin/env bash
# With the main window filling a 1280x800 screen there is no room beside it: Ctrl+F opens the search
# panel over the lower part of the comment view, inside the window, clear of the toolbars and the
# list above the view, and with the keyboard in its field.
source "$(dirname "$0")/lib.sh"
start_desktop 1280x800
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡' '2026-12-07 09:00'
read -r ax ay aw ah <<<"$(work_area)"
store_bounds "$ax" "$ay" "$aw" "$ah"
start_viewer

open_search_panel
read -r mx my mw mh <<<"$(client_geometry "$WID")"
read -r px py pw ph <<<"$(client_geometry "$PANEL")"
read -r _ _ ft _ <<<"$(frame_extents "$PANEL")"
top=$((py - ft))
check "the panel stays inside the main window ($px,$top ${pw}x$((ph + ft)) in $mx,$my ${mw}x$mh)" \
  test "$px" -ge "$mx" -a $((px + pw)) -le $((mx + mw)) -a $((py + ph)) -le $((my + mh))
check "the panel covers only the lower half, below the toolbars and the list ($top >= $my + $mh / 2)" \
  test "$top" -ge $((my + mh / 2))
check "the panel has the keyboard" active_is "$PANEL"
quit_viewer
finish
