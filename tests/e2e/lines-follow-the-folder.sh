#!/usr/bin/env bash
# The list is the folder, in saved mode too: a comment that another program replaces under the
# same name is read again (the view shows the new text), and a comment it removes leaves the list,
# so that ﾌｧｲﾙ → 削除 then deletes the line the user sees, not the one that went.
source "$(dirname "$0")/lib.sh"
command -v xclip >/dev/null || { echo "SKIP: xclip is not installed (scripts/test installs it)"; exit $SKIP; }
start_desktop
make_suite
SAVED=$SUITE/Result/COMMENT
comment_file "$SAVED" COMMENT.001 '一番古い連絡' '2026-12-05 09:00'
comment_file "$SAVED" COMMENT.002 '二番目の連絡' '2026-12-06 09:00'
comment_file "$SAVED" COMMENT.003 '最新の連絡' '2026-12-07 09:00'
store_bounds 10 10 900 600
start_viewer
view_text() {  # the comment view's text, through the clipboard
  click_at "$WID" 450 480; settle 0.3
  xdotool key --clearmodifiers ctrl+a ctrl+c; settle 0.3
  xclip -o -selection clipboard 2>/dev/null
}
view_shows() { view_text | grep -q "$1"; }

# Another program writes a new comment over the one on show.
mkdir -p "$SCRATCH/other"
comment_file "$SCRATCH/other" COMMENT.003 '差し替えた連絡' '2026-12-07 10:00'
mv "$SCRATCH/other/COMMENT.003" "$SAVED/COMMENT.003"
check "the view shows the comment now under the name" wait_for 5 view_shows '差し替えた連絡'

# And removes it: its line leaves, the line after it takes the caret.
rm "$SAVED/COMMENT.003"
settle 1
menu alt+f d
deleted() { [ ! -e "$SAVED/COMMENT.002" ]; }
check "ﾌｧｲﾙ → 削除 deletes the comment the caret moved to" wait_for 5 deleted
settle
check "the oldest comment stays" test -f "$SAVED/COMMENT.001"
kill -9 "$APP_PID" 2>/dev/null; APP_PID=''
finish
