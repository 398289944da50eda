#!/usr/bin/env bash
# Result/ lies on another file system. 全保存 while the receiver still writes a comment: the whole
# one is kept, the one still being written stays in RecvData and in the list, whole once its writer
# is done, and one message says so. Once written, it is kept like any other.
source "$(dirname "$0")/lib.sh"
start_desktop
make_suite
OTHER=$(mktemp -d /dev/shm/comment-e2e-XXXXXX)
trap 'rm -rf "$OTHER"; cleanup' EXIT
[ "$(stat -c %d "$OTHER")" != "$(stat -c %d "$SUITE")" ] || { echo "SKIP: /dev/shm is on the suite's file system"; exit $SKIP; }
rm -rf "$SUITE/Result" && mkdir -p "$OTHER/COMMENT" && ln -s "$OTHER" "$SUITE/Result"
comment_file "$SUITE/RecvData" COMMENT.001 '　連絡です' '2026-12-07 09:00'
printf '%s\r\n2026年12月7日\r\n' '　速報の途中' | iconv -f UTF-8 -t CP932 >"$SUITE/RecvData/CMARKET.002"
start_viewer
# The receiver has written the head of CMARKET.002 and holds it open (descriptor 7, opened only
# now: the viewer would inherit it and count as a writer itself).
exec 7>>"$SUITE/RecvData/CMARKET.002"
menu alt+f l  # 全保存(&L)
check "the whole comment is kept" wait_for 5 test -f "$SUITE/Result/COMMENT/COMMENT.001"
check "one message says a comment is still arriving and was kept back" \
  wait_for 5 grep -q '受信中のコメント 1 件は保存せずに残しました' "$BREVON_MESSAGE_LOG"
check "only that one message ($(cat "$BREVON_MESSAGE_LOG"))" test "$(wc -l <"$BREVON_MESSAGE_LOG")" -eq 1
printf '本文の続き\r\n' | iconv -f UTF-8 -t CP932 >&7
exec 7>&-
check "the comment being written stays in RecvData, whole" grep -q "$(printf '本文の続き' | iconv -f UTF-8 -t CP932)" \
  "$SUITE/RecvData/CMARKET.002"
check "and was not copied" test ! -e "$SUITE/Result/COMMENT/CMARKET.002"

# Still listed: the window stays in received mode and refuses to close.
: >"$BREVON_MESSAGE_LOG"
xdotool windowactivate --sync "$WID" 2>/dev/null; settle 0.3
xdotool key --clearmodifiers alt+F4
check "the close is refused while it waits" wait_for 5 grep -q '未処理のコメントが残っています' "$BREVON_MESSAGE_LOG"
menu alt+f l
check "written whole, it is kept" wait_for 5 test -f "$SUITE/Result/COMMENT/CMARKET.002"
check "RecvData is empty afterwards" wait_for 5 bash -c "[ -z \"\$(ls -A '$SUITE/RecvData')\" ]"
quit_viewer
finish
