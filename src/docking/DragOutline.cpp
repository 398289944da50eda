#include "docking/DragOutline.h"

#include <QPainter>

#include <algorithm>

namespace docking {
namespace {

class OutlineEdge : public QWidget {
public:
    explicit OutlineEdge(QWidget* within)
        : QWidget(within, within ? Qt::Widget
                                 : Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                                       Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
        setAttribute(Qt::WA_TransparentForMouseEvents);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        // Anchored to the screen (or the window) so that the four edges form one continuous
        // halftone frame.
        p.setBrushOrigin(-pos());
        p.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
    }
};

}  // namespace

DragOutline::DragOutline(QWidget* within) : within_(within), inside_(within != nullptr)
{
    for (QPointer<QWidget>& e : edges_)
        e = new OutlineEdge(within);
}

DragOutline::~DragOutline()
{
    // Top-level windows without a parent: nobody else owns them. Inside a window the window owns
    // them, but the frame goes with the drag, not with the window.
    for (const QPointer<QWidget>& e : edges_)
        delete e.data();
}

void DragOutline::show(const QRect& r, int thickness)
{
    rect_ = r;
    thickness_ = r.isEmpty() ? 0 : thickness;
    if (r.isEmpty()) {
        hide();
        return;
    }
    const int t = std::min({thickness, (r.width() + 1) / 2, (r.height() + 1) / 2});
    const std::array<QRect, 4> parts{QRect(r.left(), r.top(), r.width(), t),
                                     QRect(r.left(), r.bottom() - t + 1, r.width(), t),
                                     QRect(r.left(), r.top() + t, t, r.height() - 2 * t),
                                     QRect(r.right() - t + 1, r.top() + t, t, r.height() - 2 * t)};
    if (inside_ && !within_)
        return;  // the window went during the drag
    const QPoint origin = inside_ ? within_->mapToGlobal(QPoint(0, 0)) : QPoint(0, 0);
    for (std::size_t i = 0; i < edges_.size(); ++i) {
        if (!edges_[i])
            continue;
        if (parts[i].isEmpty()) {
            edges_[i]->hide();
            continue;
        }
        edges_[i]->setGeometry(parts[i].translated(-origin));
        edges_[i]->show();
        edges_[i]->raise();
    }
}

void DragOutline::hide()
{
    for (const QPointer<QWidget>& e : edges_) {
        if (e)
            e->hide();
    }
}

}  // namespace docking
