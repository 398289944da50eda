#!/usr/bin/env bash
# Closed with ﾌｧｲﾙ → 終了 and started again, five times under a window manager: the stored outer
# bounds stay what they were and the client keeps its size.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡'
set_setting Top 100; set_setting Left 150; set_setting Width 800; set_setting Height 560

clients=()
for run in 1 2 3 4 5; do
  start_viewer
  read -r _ _ w h <<<"$(client_geometry "$WID")"
  read -r fl fr ft fb <<<"$(frame_extents "$WID")"
  clients+=("${w}x${h}")
  quit_viewer || finish
  stored="$(setting Top) $(setting Left) $(setting Width) $(setting Height)"
  check "run $run stores the bounds it opened with (Top Left Width Height: $stored)" \
    test "$stored" = "100 150 800 560"
  check "run $run shows a client of the outer size less the frame (${w}x${h}, frame $fl $fr $ft $fb)" \
    test "$w" -eq $((800 - fl - fr)) -a "$h" -eq $((560 - ft - fb))
done
check "the client size is the same in all five runs (${clients[*]})" \
  test "$(printf '%s\n' "${clients[@]}" | sort -u | wc -l)" -eq 1
finish
