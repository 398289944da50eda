#!/usr/bin/env bash
# More received comments than the list holds: with 600 market flashes received the list shows its
# 500 and the caption counts the 100 beyond it; 全保存 keeps the 500, the window stays in received
# mode with the next 100 listed and refuses to close; a second 全保存 empties the folder and then
# the window closes.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
set_setting DelCmntInfo1 0    # no purge at the start: all 600 stay received
set_setting MaxCmntInfo1 2000
for i in $(seq -w 1 600); do comment_file "$SUITE/RecvData" "CMARKET.$i" "速報 $i"; done
store_bounds 10 10 900 600
caption() { xprop -id "$WID" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
caption_is() { [ "$(caption)" = "$1" ]; }
count_in() { [ "$(ls "$1" | wc -l)" -eq "$2" ]; }
# The caption counts from the start, so the window is found by the start of its name.
"$BIN/Comment" >>"$SCRATCH/app.log" 2>&1 &
APP_PID=$!
WID=''
for _ in 1 2 3; do WID=$(window_named "^$TITLE") && break; done
[ -n "$WID" ] || { echo "no main window"; cat "$SCRATCH/app.log"; exit 1; }
settle

check "the caption counts the 100 beyond the list" wait_for 5 caption_is "$TITLE (新着 100件)"
menu alt+f l
check "全保存 keeps the 500 listed" wait_for 20 count_in "$SUITE/Result/COMMENT" 500
check "100 stay received" count_in "$SUITE/RecvData" 100
check "the caption is plain: all that is received is listed" wait_for 5 caption_is "$TITLE"
menu alt+f x
check "the close is refused while received comments wait" \
  wait_for 5 grep -q "未処理のコメントが残っています" "$SCRATCH/messages.log"
check "the window is still there" kill -0 "$APP_PID"
menu alt+f l
check "the second 全保存 keeps the rest" wait_for 20 count_in "$SUITE/Result/COMMENT" 600
check "the received folder is empty" count_in "$SUITE/RecvData" 0
quit_viewer
check "then the window closes" test -z "$APP_PID"
finish
