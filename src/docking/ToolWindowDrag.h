#pragma once
// Dragging a tool window by its handle, caption or frame. A press arms it (Pressed) and the outline
// shows where the toolbar would go; the first move away makes it a move (Dragging); the left
// button's release drops it, Esc or another left press cancels it. Only a move drops: a press and
// release in place is a click. Which dock, row and position it would take is chooseDrop's; the
// drag shows the outline and hands the choice to the window to apply.
//
// Where the compositor keeps window places to itself (Wayland), the pointer's place over a floating
// window says nothing about where it is over the main window. There a floating window's drag is a
// drag-and-drop, for which the compositor tells each window where the pointer is over it: over the
// main window the outline and the drop follow the pointer as on X11; elsewhere a drop changes
// nothing, since no floating place can be chosen there.

#include "docking/DockGeometry.h"

#include <QPoint>
#include <QPointer>
#include <QRect>
#include <QSize>

#include <functional>
#include <memory>
#include <vector>

class QDropEvent;
class QEvent;
class QObject;

namespace docking {

class DragOutline;
class TCustomToolWindow;
class TDock;

class ToolWindowDrag {
public:
    enum class State { Idle, Pressed, Dragging };
    // `target` is null for floating; `choice.outline` is on the screen.
    using Apply = std::function<void(TDock* target, const DropChoice& choice)>;

    ToolWindowDrag(TCustomToolWindow& window, Apply apply);
    ~ToolWindowDrag();
    ToolWindowDrag(const ToolWindowDrag&) = delete;
    ToolWindowDrag& operator=(const ToolWindowDrag&) = delete;

    // `grabPoint` lies in the window of `windowSize` that was pressed (the docked tool window or the
    // floating window); `docks` are the docks it may go to, in the order they are tried.
    void press(const QPoint& globalPos, const QPoint& grabPoint, const QSize& windowSize, bool ctrl,
               const std::vector<TDock*>& docks);
    void move(const QPoint& globalPos);
    void setCtrl(bool held);  // held, the toolbar floats even over a dock
    void release();           // drops it where the outline stands, after a move
    void cancel();            // nothing moves

    State state() const { return state_; }
    QRect outline() const;  // screen coordinates; empty when nothing would happen
    int outlineThickness() const;
    TDock* target() const { return state_ == State::Idle ? nullptr : target_.data(); }

private:
    void handle(QObject* receiver, QEvent* e);
    void choose();
    void end(bool drop);
    void runDataDrag();
    void dataDragAt(QObject* receiver, QDropEvent* e);
    void leaveForms();

    TCustomToolWindow& window_;
    Apply apply_;
    State state_ = State::Idle;
    DragSituation situation_;
    std::vector<QPointer<TDock>> docks_;
    std::vector<Size> dockedSizes_;  // one per dock
    QPointer<TDock> target_;
    DropChoice choice_;
    QPoint start_;
    QPoint grabPoint_;
    bool dataDrag_ = false;  // the drag runs as a drag-and-drop (see above)
    bool dropped_ = false;
    bool overForm_ = false;  // the last place the compositor told is over a form
    bool forbidden_ = false;  // the forbidden cursor is shown
    std::unique_ptr<DragOutline> outline_;
    QPointer<QObject> filter_;
};

}  // namespace docking
