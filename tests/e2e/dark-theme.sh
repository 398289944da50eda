#!/usr/bin/env bash
# Under a dark desktop theme (Qt's GTK platform theme with Adwaita's dark variant) the list and the
# comment view, still at their default colours, read light on dark with a contrast of 4.5:1 or more;
# the print button's image and the search field's clear button stand out 3:1 from their background.
source "$(dirname "$0")/lib.sh"
for pkg in qt6-gtk-platformtheme gnome-themes-extra; do
  dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed' ||
    { echo "SKIP: $pkg is not installed (scripts/test installs it)"; exit $SKIP; }
done
command -v python3 >/dev/null || { echo "SKIP: python3 is not installed"; exit $SKIP; }

start_desktop 1280x800
start_atspi  # where the buttons are
make_suite
for i in 1 2 3; do comment_file "$SUITE/Result/COMMENT" "COMMENT.00$i" "　連絡その$i" "2026-12-0$i 09:00"; done
store_bounds 10 10 900 600
export QT_QPA_PLATFORMTHEME=gtk3 GTK_THEME=Adwaita:dark
start_viewer
settle 1
import -window "$WID" "$SCRATCH/shot.png" 2>/dev/null || { fail "no screenshot of the main window"; finish; }
read -r _ _ ww wh <<<"$(client_geometry "$WID")"

# band NAME TOP% BOTTOM%: the most frequent colour of the band's left part is its background; the
# pixel farthest from it in contrast is the solid core of a glyph. Prints "background ratio".
# Relative luminance and contrast ratio as WCAG defines them, for the measuring scripts below.
CONTRAST='def lum(c):
    lin = [(v / 255) / 12.92 if v / 255 <= 0.04045 else ((v / 255 + 0.055) / 1.055) ** 2.4 for v in c]
    return 0.2126 * lin[0] + 0.7152 * lin[1] + 0.0722 * lin[2]
def ratio(a, b):
    la, lb = lum(a), lum(b)
    return (max(la, lb) + 0.05) / (min(la, lb) + 0.05)
'
band() {
  local top=$((wh * $2 / 100)) bottom=$((wh * $3 / 100)) width=$((ww * 40 / 100))
  convert "$SCRATCH/shot.png" -crop "${width}x$((bottom - top))+0+$top" +repage -depth 8 rgb:- |
    python3 -c '
import collections, sys
raw = sys.stdin.buffer.read()
px = [tuple(raw[i:i + 3]) for i in range(0, len(raw) - 2, 3)]
'"$CONTRAST"'
back = collections.Counter(px).most_common(1)[0][0]
print("%.3f %.2f" % (lum(back), max(ratio(back, p) for p in set(px))))'
}
# The list's rows below the current one, and the first lines of the comment view.
read -r list_back list_ratio <<<"$(band list 15 35)"
read -r view_back view_ratio <<<"$(band view 45 60)"
echo "list: background luminance $list_back, contrast $list_ratio; view: $view_back, $view_ratio"
check "the dark theme reached the list (background luminance $list_back)" python3 -c "exit(not $list_back < 0.2)"
check "the dark theme reached the view (background luminance $view_back)" python3 -c "exit(not $view_back < 0.2)"
check "the list's text stands out 4.5:1 ($list_ratio)" python3 -c "exit(not $list_ratio >= 4.5)"
check "the view's text stands out 4.5:1 ($view_ratio)" python3 -c "exit(not $view_ratio >= 4.5)"

# glyph NAME: the control's picture against its background (the most frequent colour): the share
# of outline pixels (touching the background) that, or whose inner neighbour, stand out 3:1, and
# the number of pixels that do.
glyph() {
  local x y w h
  read -r x y w h <<<"$("${PROBE[@]}" "$APP_PID" extents "$1")" || return 1
  import -window root -crop "${w}x$h+$x+$y" +repage -depth 8 rgb:- 2>/dev/null | python3 -c '
import collections, sys
w, h = int(sys.argv[1]), int(sys.argv[2])
raw = sys.stdin.buffer.read()
px = [tuple(raw[i:i + 3]) for i in range(0, 3 * w * h, 3)]
'"$CONTRAST"'
back = collections.Counter(px).most_common(1)[0][0]
at = lambda x, y: px[y * w + x]
outline = clear = 0
for y in range(1, h - 1):
    for x in range(1, w - 1):
        around = [at(x - 1, y), at(x + 1, y), at(x, y - 1), at(x, y + 1)]
        if at(x, y) == back or back not in around:
            continue
        outline += 1
        clear += max(ratio(c, back) for c in around + [at(x, y)]) >= 3
strong = sum(ratio(p, back) >= 3 for p in px)
print("%.2f %d" % (clear / max(outline, 1), strong))' "$w" "$h"
}
read -r print_share print_strong <<<"$(glyph '印刷')"
echo "print button: outline share at 3:1 ${print_share:-none}, pixels at 3:1 ${print_strong:-none}"
check "the print button's outline stands out 3:1 ($print_share)" python3 -c "exit(not ${print_share:-0} >= 0.8)"
open_search_panel
xdotool type --delay 50 nikkei; settle
read -r _ clear_strong <<<"$(glyph '語句を消す')"
echo "clear button: pixels at 3:1 ${clear_strong:-none}"
check "the search field's clear button stands out 3:1 ($clear_strong pixels)" test "${clear_strong:-0}" -ge 30
xdotool key Escape Escape; settle
quit_viewer
finish
