#pragma once
// The small dialogs open in the middle of the screen, not over their owner: the main window may
// sit anywhere, docked toolbars and all.

class QWidget;

namespace ui {

// Sizes the window to its layout and moves it to the centre of its owner's screen (or the primary
// screen). Call once the window's contents are built.
void centerOnScreen(QWidget* window);

}  // namespace ui
