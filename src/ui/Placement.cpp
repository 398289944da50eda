#include "ui/Placement.h"

namespace ui {

Placement placeWindow(int storedTop, int storedLeft, int storedWidth, int storedHeight, const ScreenInfo& screen)
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
    return p;
}

}  // namespace ui
