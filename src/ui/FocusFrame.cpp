#include "ui/FocusFrame.h"

#include <QEvent>
#include <QPainter>

namespace ui {

namespace {
constexpr int kWidth = 2;  // one pixel is lost against the style's own frame line
}

FocusFrame::FocusFrame(QWidget* watched) : QWidget(watched)
{
    setObjectName(QStringLiteral("FocusFrame"));
    // Clicks, wheel and drops reach the view beneath; only the edge is painted.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
    setFocusPolicy(Qt::NoFocus);
    hide();
    watched->installEventFilter(this);
}

bool FocusFrame::eventFilter(QObject* watched, QEvent* event)
{
    auto* widget = parentWidget();
    if (watched != widget)
        return false;
    switch (event->type()) {
    case QEvent::FocusIn:
        setGeometry(widget->rect());
        raise();
        show();
        break;
    case QEvent::FocusOut: hide(); break;
    case QEvent::Resize: setGeometry(widget->rect()); break;
    default: break;
    }
    return false;
}

void FocusFrame::paintEvent(QPaintEvent* /*event*/)
{
    QPainter painter(this);
    const QColor colour = parentWidget()->palette().color(QPalette::Active, QPalette::Highlight);
    const QRect r = rect();
    painter.fillRect(QRect(r.left(), r.top(), r.width(), kWidth), colour);
    painter.fillRect(QRect(r.left(), r.bottom() - kWidth + 1, r.width(), kWidth), colour);
    painter.fillRect(QRect(r.left(), r.top(), kWidth, r.height()), colour);
    painter.fillRect(QRect(r.right() - kWidth + 1, r.top(), kWidth, r.height()), colour);
}

}  // namespace ui
