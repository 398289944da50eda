#!/usr/bin/env bash
# A comment of one 4 MiB line without a line break: chosen in the list, then Ctrl+A Ctrl+C in the
# view puts every one of its 4,194,304 characters on the clipboard, unchanged, while the window
# stays responsive.
source "$(dirname "$0")/lib.sh"
command -v xclip >/dev/null || { echo "SKIP: xclip is not installed (scripts/test installs it)"; exit $SKIP; }
start_desktop 1280x800
make_suite
comment_file "$SUITE/Result/COMMENT" COMMENT.001 '　短い連絡' '2026-12-07 09:00'
# Words and blanks, so the view wraps between words; no line end anywhere.
yes 'Nikkei 12345 abcdefghij' | tr '\n' ' ' | head -c 4194304 >"$SCRATCH/expected"
cp "$SCRATCH/expected" "$SUITE/Result/COMMENT/COMMENT.002"
touch -d '2026-12-06 09:00' "$SUITE/Result/COMMENT/COMMENT.002"
store_bounds 10 10 900 600
start_viewer

# The newest, short comment is shown; the list has the keyboard: Down chooses the long one.
xdotool windowactivate --sync "$WID" 2>/dev/null; settle 0.3
xdotool key Down
settle 0.3
read -r _ _ w h <<<"$(client_geometry "$WID")"
click_at "$WID" $((w / 2)) $((h - 60))  # into the view
settle 0.3
xdotool key --clearmodifiers ctrl+a ctrl+c
copied() {
  xclip -selection clipboard -o >"$SCRATCH/copied" 2>/dev/null && cmp -s "$SCRATCH/copied" "$SCRATCH/expected"
}
check "Ctrl+A Ctrl+C puts the whole line on the clipboard" wait_for 60 copied
check "the clipboard holds all 4,194,304 characters" test "$(wc -c <"$SCRATCH/copied")" -eq 4194304
quit_viewer
finish
