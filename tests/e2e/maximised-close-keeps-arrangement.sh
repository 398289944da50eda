#!/usr/bin/env bash
# Toolbar1 in the left dock, Toolbar3 in the right one; the window maximised by the user, closed and
# started again: it opens maximised with the toolbars where they were, and un-maximised it fits the
# work area.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡'

start_viewer  # the first start stores the layout presets and a place
quit_viewer || finish
reg add "$KEY\\Toolbar1" DockedTo Dock2 >/dev/null
reg add "$KEY\\Toolbar3" DockedTo Dock3 >/dev/null

start_viewer
toggle_maximised "$WID"
check "a double click on the title bar maximises the window" wait_for 5 maximised "$WID"
quit_viewer || finish

start_viewer
check "started again, the window is maximised" maximised "$WID"
toggle_maximised "$WID"
check "a double click on the title bar restores it" wait_for 5 not_maximised "$WID"
settle
read -r x y w h <<<"$(client_geometry "$WID")"
read -r fl fr ft fb <<<"$(frame_extents "$WID")"
read -r ax ay aw ah <<<"$(work_area)"
left=$((x - fl)) top=$((y - ft)) right=$((x + w + fr)) bottom=$((y + h + fb))
check "un-maximised, the window ($left,$top)-($right,$bottom) lies in the work area ($ax,$ay ${aw}x$ah)" \
  test $left -ge "$ax" -a $top -ge "$ay" -a $right -le $((ax + aw)) -a $bottom -le $((ay + ah))
quit_viewer || finish
check "Toolbar1 is still in the left dock ($(reg query "$KEY\\Toolbar1" DockedTo | awk '/DockedTo/ {print $3}'))" \
  bash -c "'$BIN/brvreg' query '$KEY\\Toolbar1' DockedTo | grep -q 'Dock2\$'"
check "Toolbar3 is still in the right dock" \
  bash -c "'$BIN/brvreg' query '$KEY\\Toolbar3' DockedTo | grep -q 'Dock3\$'"
finish
