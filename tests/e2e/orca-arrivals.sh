#!/usr/bin/env bash
# Orca hears comments that arrive while the window is active: "新着コメント N件" and the newest
# line, once per batch; twenty moved in at once are one announcement, not twenty.
source "$(dirname "$0")/lib.sh"
start_desktop
start_atspi
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　保存済みの連絡' '2026-12-07 09:00'
store_bounds 10 10 900 600
mkdir -p "$SCRATCH/incoming"
arrive() {  # arrive NAME TITLE: written elsewhere, then moved in, as the receiver delivers
  comment_file "$SCRATCH/incoming" "$1" "$2"
  mv "$SCRATCH/incoming/$1" "$SUITE/RecvData/$1"
}
announcements() { said_since "$1" | grep -c '^notification 新着コメント'; }
start_orca
start_viewer
xdotool windowactivate --sync "$WID"
check "the list is read first" hears 15 0 "保存済みの連絡"

m=$(mark); arrive CMARKET.001 '【速報】日経平均急騰'
check "an arrival is heard with the count and its line" \
  hears 15 "$m" "'notification 新着コメント 1件 .*【速報】日経平均急騰\.'"

m=$(mark)
for i in $(seq -w 1 20); do comment_file "$SCRATCH/incoming" "COMMENT.1$i" "　一斉配信 $i"; done
mv "$SCRATCH"/incoming/* "$SUITE/RecvData/"
check "twenty moved in at once are heard as one batch" \
  hears 15 "$m" "'notification 新着コメント 20件 .*一斉配信 20\.'"
settle 2
check "... once ($(announcements "$m") announcements)" test "$(announcements "$m")" -eq 1
finish
