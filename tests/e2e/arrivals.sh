#!/usr/bin/env bash
# Comments that arrive while the window is open: the caption counts them in saved mode, the
# desktop is told while the user works in another program and a click on the notice brings the
# window back, F5 lists them as a start would, and the window then refuses to close. The notices
# go over the desktop's private session bus to fake-notifications, which "clicks" each one after 1.5 s.
source "$(dirname "$0")/lib.sh"
for tool in dbus-daemon xlogo "$BIN/fake-notifications"; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is missing"; exit $SKIP; }
done
start_desktop
make_suite
unset BREVON_MESSAGE_LOG  # the real warning box
"$BIN/fake-notifications" "$SCRATCH/notices.log" 1500 >"$SCRATCH/fake.log" 2>&1 &
FAKE_PID=$!
OTHER_PID=''
trap 'kill $FAKE_PID $OTHER_PID 2>/dev/null; cleanup' EXIT

comment_file "$SUITE/Result/COMMENT" COMMENT.001 '保存済みの連絡'
mkdir -p "$SCRATCH/incoming"
arrive() {  # arrive NAME TITLE: written elsewhere, then moved in, as the receiver delivers
  comment_file "$SCRATCH/incoming" "$1" "$2"
  mv "$SCRATCH/incoming/$1" "$SUITE/RecvData/$1"
}
caption() { xprop -id "$WID" _NET_WM_NAME | sed -n 's/^_NET_WM_NAME(UTF8_STRING) = "\(.*\)"$/\1/p'; }
caption_is() { [ "$(caption)" = "$1" ]; }

start_viewer
xdotool windowactivate --sync "$WID" >/dev/null 2>&1
wait_for 5 active_is "$WID"
check "it starts in saved mode with the plain caption" caption_is "$TITLE"

arrive CMARKET.001 '【速報】日経平均急騰'
check "a comment moved in while it runs shows in the caption" wait_for 5 caption_is "$TITLE (新着 1件)"
check "no notice while the window is active" test ! -s "$SCRATCH/notices.log"

# The user turns to another program.
xlogo -geometry 300x300+50+50 >/dev/null 2>&1 &
OTHER_PID=$!
OTHER=$(window_named '^xlogo$')
xdotool windowactivate --sync "$OTHER" >/dev/null 2>&1
check "the other program has the focus" wait_for 10 active_is "$OTHER"
settle
arrive COMMENT.002 '臨時メンテナンスのお知らせ'
check "the caption counts the second one" wait_for 5 caption_is "$TITLE (新着 2件)"
check "the desktop is told: the count and the newest list text" \
  wait_for 10 grep -q "^新着コメント 2件"$'\t'".*臨時メンテナンスのお知らせ" "$SCRATCH/notices.log"
check "a click on the notice brings the window back" wait_for 10 active_is "$WID"

xdotool windowactivate --sync "$WID" >/dev/null 2>&1; settle 0.3
xdotool key --clearmodifiers F5
check "F5 lists them: received mode, the caption plain again" wait_for 5 caption_is "$TITLE"

# ﾌｧｲﾙ → 終了 by the keyboard; a busy machine may open the menu late, so up to three times.
BOX=''
for attempt in 1 2 3; do
  menu alt+f x
  BOX=$(window_named '^警告$') && break
  xdotool key Escape Escape
done
check "closing is refused in received mode with the host's warning" test -n "$BOX"
xdotool key --clearmodifiers Return
settle
check "the window is still there" kill -0 "$APP_PID"

kill -TERM "$APP_PID"
check "SIGTERM ends it" ends_within 10
check "with exit code 0 (${APP_RC:-none})" test "${APP_RC:-1}" -eq 0
check "both arrivals are still in the received folder" \
  test -e "$SUITE/RecvData/CMARKET.001" -a -e "$SUITE/RecvData/COMMENT.002"
[ "$failures" -eq 0 ] || { cat "$SCRATCH/app.log"; cat "$SCRATCH/notices.log" 2>/dev/null; }
finish
