#!/usr/bin/env bash
# Toolbar buttons light up under the pointer, also after a toolbar was dragged within its dock and
# after a floating toolbar was moved (the drag watches the whole application while it runs).
# Places are those of the designed layout on this test's fixed screen and fonts.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　株式市場の連絡'
set_setting Version 3; set_setting Top 100; set_setting Left 150; set_setting Width 800; set_setting Height 560
start_viewer  # stores the presets
quit_viewer || finish
# Toolbar2 floats at 700, 500.
reg add "$KEY\\Toolbar2" DockedTo + >/dev/null
reg add "$KEY\\Toolbar2" FloatLeft 700 >/dev/null
reg add "$KEY\\Toolbar2" FloatTop 500 >/dev/null
start_viewer
read -r cx cy _ _ <<<"$(client_geometry "$WID")"
away() { xdotool mousemove $((cx + 700)) $((cy + 450)); settle 0.4; }  # on the comment view

# lights_up X Y: the 30x25 button at X, Y (its centre) looks different under the pointer.
lights_up() {
  local box="30x25+$(( $1 - 15 ))+$(( $2 - 12 ))" plain rc
  away; plain=$(steady_look "$box")
  xdotool mousemove "$1" "$2"
  looks_different_within 3 "$box" "$plain"; rc=$?
  away
  return $rc
}

exit_x=$((cx + 116)) exit_y=$((cy + 38))  # 終了 on Toolbar3
check "終了 lights up under the pointer" lights_up $exit_x $exit_y
drag $((cx + 143)) $((cy + 38)) $((cx + 343)) $((cy + 40))  # Toolbar1 by its handle, along Dock1
check "after Toolbar1 was dragged along its dock, 終了 still lights up" lights_up $exit_x $exit_y
check "and the moved Toolbar1's first button lights up at its new place" lights_up $((cx + 374)) $((cy + 38))

check "the floating Toolbar2 shows its 印刷 button lit under the pointer" lights_up 763 533
drag 760 509 560 409  # the floating window by its caption
check "after the floating toolbar was moved, 印刷 lights up at its new place" lights_up 563 433
check "and 終了 on the docked Toolbar3 still lights up" lights_up $exit_x $exit_y
finish
