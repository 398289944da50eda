#include "ui/Placement.h"

#include <algorithm>

namespace ui {

Placement placeWindow(int storedTop, int storedLeft, int storedWidth, int storedHeight, const ScreenInfo& screen,
                      bool compositorPlaces)
{
    Placement p;
    p.top = storedTop < 0 ? 0 : storedTop;
    p.left = storedLeft < 0 ? 0 : storedLeft;
    p.width = storedWidth != 0 ? storedWidth : screen.width * 70 / 100;
    p.height = storedHeight != 0 ? storedHeight : screen.height * 70 / 100;
    if (p.top >= screen.height)
        p.top = screen.height - p.height;
    if (p.left >= screen.width)
        p.left = screen.width - p.width;
    if (screen.taskbarWidth >= screen.width)
        p.maximized = p.width >= screen.width;  // taskbar along the top or bottom edge, or none
    else
        p.maximized = p.height >= screen.height;
    p.centred = storedTop == 0 && storedLeft == 0;
    if (compositorPlaces)
        p.centred = p.centred && storedWidth == 0 && storedHeight == 0;
    return p;
}

}  // namespace ui

namespace ui {

Bounds normalBounds(const Placement& p, const Bounds& work)
{
    Bounds b{p.left, p.top, p.width, p.height};
    if (work.width <= 0 || work.height <= 0)
        return b;
    b.width = std::min(b.width, work.width);
    b.height = std::min(b.height, work.height);
    if (p.maximized) {
        b.left = std::clamp(b.left, work.left, work.left + work.width - b.width);
        b.top = std::clamp(b.top, work.top, work.top + work.height - b.height);
    }
    return b;
}

Bounds maximisedBounds(const Bounds& work)
{
    return {work.left - kMaximisedBorder, work.top - kMaximisedBorder, work.width + 2 * kMaximisedBorder,
            work.height + 2 * kMaximisedBorder};
}

Bounds boundsToStore(const Bounds& window, const Bounds& stored, bool compositorPlaces)
{
    if (!compositorPlaces)
        return window;
    return {stored.left, stored.top, window.width, window.height};
}

}  // namespace ui
