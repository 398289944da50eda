#pragma once
// The frame shown while a tool window is dragged: four thin always-on-top windows painted in a
// halftone pattern, so that it shows over any window without compositing. Under Wayland windows
// cannot be put at a place of the program's choosing, so there the four edges are child widgets of
// the main window and the frame shows inside it.

#include <QPointer>
#include <QRect>
#include <QWidget>

#include <array>

namespace docking {

class DragOutline {
public:
    // within: draw inside this window instead of as windows of their own.
    explicit DragOutline(QWidget* within = nullptr);
    ~DragOutline();
    DragOutline(const DragOutline&) = delete;
    DragOutline& operator=(const DragOutline&) = delete;

    // An empty rectangle hides the frame.
    void show(const QRect& screenRect, int thickness);
    void hide();
    QRect rect() const { return rect_; }
    int thickness() const { return thickness_; }

private:
    std::array<QPointer<QWidget>, 4> edges_{};
    QPointer<QWidget> within_;
    bool inside_ = false;
    QRect rect_;
    int thickness_ = 0;
};

}  // namespace docking
