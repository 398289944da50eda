#pragma once
// Where the main window opens, from the stored bounds and the screen. Pure arithmetic.
// Stored bounds are the window's outer bounds, frame included.

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

struct Bounds {
    int left = 0, top = 0, width = 0, height = 0;
    friend bool operator==(const Bounds&, const Bounds&) = default;
};

// compositorPlaces: a Wayland compositor places the windows and tells nobody where. The stored
// position is then not used, and a window counts as never placed only when no size was stored
// either (the position stays 0, 0 there for good, and the arrangement must not be reset each start).
Placement placeWindow(int storedTop, int storedLeft, int storedWidth, int storedHeight, const ScreenInfo& screen,
                      bool compositorPlaces = false);

// The bounds written at close. Where the compositor places windows, the stored position stays as it
// was (an X11 start uses it again) and `window` is the size without the title bar Qt draws there,
// so the size does not grow by a title bar each start.
Bounds boundsToStore(const Bounds& window, const Bounds& stored, bool compositorPlaces);

// The bounds the window has when it is not maximised: never larger than the work area (the screen
// less its panels), so that un-maximising cannot give a window that runs off the screen. A window
// that opens maximised was stored with its maximised bounds; un-maximised it also lies inside the
// work area.
Bounds normalBounds(const Placement& p, const Bounds& work);

// The bounds stored for a maximised window. On the original platform those were the work area
// grown by the window's sizing border, which lay off the screen (-4, -4 on a screen without side
// panels). Stored so, the next start opens the window maximised and keeps the toolbar arrangement,
// where 0, 0 would read as "never placed".
inline constexpr int kMaximisedBorder = 4;
Bounds maximisedBounds(const Bounds& work);

// The list's height: the stored one, or a third of the client height when none is stored.
inline int listHeight(int storedReHeight, int clientHeight)
{
    return storedReHeight != 0 ? storedReHeight : clientHeight / 3;
}

inline int clampFontSize(int size) { return size > 30 ? 30 : (size < 9 ? 9 : size); }

}  // namespace ui
