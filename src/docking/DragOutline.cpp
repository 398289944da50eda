#include "docking/DragOutline.h"

#include <QPainter>

#include <algorithm>

namespace docking {
namespace {

class OutlineEdge : public QWidget {
public:
    OutlineEdge()
        : QWidget(nullptr, Qt::ToolTip | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint |
                               Qt::WindowTransparentForInput | Qt::WindowDoesNotAcceptFocus)
    {
        setAttribute(Qt::WA_ShowWithoutActivating);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter p(this);
        p.fillRect(rect(), Qt::white);
        // Anchored to the screen so that the four edges form one continuous halftone frame.
        p.setBrushOrigin(-pos());
        p.fillRect(rect(), QBrush(Qt::black, Qt::Dense4Pattern));
    }
};

}  // namespace

DragOutline::DragOutline()
{
    for (QWidget*& e : edges_)
        e = new OutlineEdge;
}

DragOutline::~DragOutline()
{
    // Top-level windows without a parent: nobody else owns them.
    for (QWidget* e : edges_)
        delete e;
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
    for (std::size_t i = 0; i < edges_.size(); ++i) {
        if (parts[i].isEmpty()) {
            edges_[i]->hide();
            continue;
        }
        edges_[i]->setGeometry(parts[i]);
        edges_[i]->show();
    }
}

void DragOutline::hide()
{
    for (QWidget* e : edges_)
        e->hide();
}

}  // namespace docking
