#pragma once
// The frame shown while a tool window is dragged: four thin always-on-top windows painted in a
// halftone pattern, so that it shows over any window without compositing.

#include <QRect>
#include <QWidget>

#include <array>

namespace docking {

class DragOutline {
public:
    DragOutline();
    ~DragOutline();
    DragOutline(const DragOutline&) = delete;
    DragOutline& operator=(const DragOutline&) = delete;

    // An empty rectangle hides the frame.
    void show(const QRect& screenRect, int thickness);
    void hide();
    QRect rect() const { return rect_; }
    int thickness() const { return thickness_; }

private:
    std::array<QWidget*, 4> edges_{};
    QRect rect_;
    int thickness_ = 0;
};

}  // namespace docking
