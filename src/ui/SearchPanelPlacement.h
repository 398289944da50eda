#pragma once
// Where the search panel opens. Global coordinates, window frames included.

#include <QRect>
#include <QSize>

namespace ui {

// Beside `owner` (the main window) on whichever side `screen` (its work area) has room for
// `panel`, top edges level (kept on the screen); with room on neither side, over the lower half of
// `view` (the comment view) at its right edge, no larger than that half, so the toolbars and the
// list stay in sight. An empty `screen` counts as room on the right.
QRect placeSearchPanel(const QRect& owner, const QRect& view, const QRect& screen, QSize panel);

}  // namespace ui
