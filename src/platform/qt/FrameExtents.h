#pragma once
// Window bounds on the original platform include the frame, and the frame's size is known before a
// window is shown. Under X11 the window manager draws the frame; it tells its size ahead of
// mapping when asked with _NET_REQUEST_FRAME_EXTENTS.

#include <QMargins>

class QWidget;

namespace platform {

// The frame the window manager will put around the top-level `window` (not yet shown): left, top,
// right, bottom. Zero margins without a window manager, when it does not answer within a moment,
// or off X11.
QMargins frameExtentsBeforeShow(QWidget* window);

}  // namespace platform
