#include "ui/SearchPanelPlacement.h"

#include <algorithm>

namespace ui {

QRect placeSearchPanel(const QRect& owner, const QRect& view, const QRect& screen, QSize panel)
{
    auto level = [&](int x) {
        int y = owner.top();
        if (!screen.isEmpty())
            y = std::max(screen.top(), std::min(y, screen.bottom() + 1 - panel.height()));
        return QRect(QPoint(x, y), panel);
    };
    if (screen.isEmpty() || owner.right() + panel.width() <= screen.right())
        return level(owner.right() + 1);
    if (owner.left() - panel.width() >= screen.left())
        return level(owner.left() - panel.width());
    const int width = std::min(panel.width(), view.width());
    const int height = std::min(panel.height(), view.height() / 2);
    return {view.right() + 1 - width, view.bottom() + 1 - height, width, height};
}

}  // namespace ui
