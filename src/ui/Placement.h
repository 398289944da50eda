#pragma once
// Where the main window opens, from the stored bounds and the screen. Pure arithmetic.

namespace ui {

struct ScreenInfo {
    int width = 0, height = 0;
    // Width of the taskbar's rectangle. On this platform there is no taskbar window: the width of
    // the screen's available area stands in (a panel along a side edge narrows it).
    int taskbarWidth = 0;
};

struct Placement {
    int top = 0, left = 0, width = 0, height = 0;
    bool maximized = false;
    bool centred = false;  // no place was stored: centre it and store the designed toolbar layout
};

Placement placeWindow(int storedTop, int storedLeft, int storedWidth, int storedHeight, const ScreenInfo& screen);

// The list's height: the stored one, or a third of the client height when none is stored.
inline int listHeight(int storedReHeight, int clientHeight)
{
    return storedReHeight != 0 ? storedReHeight : clientHeight / 3;
}

inline int clampFontSize(int size) { return size > 30 ? 30 : (size < 9 ? 9 : size); }

}  // namespace ui
