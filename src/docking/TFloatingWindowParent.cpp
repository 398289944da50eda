#include "docking/TFloatingWindowParent.h"

#include "docking/DockColors.h"
#include "docking/TCustomToolWindow.h"

#include <QMouseEvent>
#include <QPainter>

namespace docking {

TFloatingWindowParent::TFloatingWindowParent(TCustomToolWindow* toolWindow, QWidget* form)
    : QWidget(form, Qt::Tool | Qt::FramelessWindowHint), toolWindow_(toolWindow)
{
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle(toolWindow->caption());
}

int TFloatingWindowParent::captionHeight() const
{
    return toolWindow_->showCaption() ? TCustomToolWindow::kCaptionHeight : 0;
}

QRect TFloatingWindowParent::captionRect() const
{
    const int f = TCustomToolWindow::kFloatingFrame;
    return QRect(f, f, width() - 2 * f, captionHeight());
}

QRect TFloatingWindowParent::closeButtonRect() const
{
    if (!toolWindow_->closeButton() || captionHeight() == 0)
        return {};
    const QRect c = captionRect();
    const int s = c.height() - 2;
    return QRect(c.right() - s, c.top() + 1, s, s);
}

void TFloatingWindowParent::adjustToToolWindow()
{
    const int f = TCustomToolWindow::kFloatingFrame;
    const QSize inner = toolWindow_->floatingSize();
    resize(toolWindow_->floatingWindowSize());
    toolWindow_->setGeometry(f, f + captionHeight(), inner.width(), inner.height());
    setWindowTitle(toolWindow_->caption());
    update();
}

void TFloatingWindowParent::remember()
{
    toolWindow_->floatingPosition_ = pos();
    toolWindow_->hasFloatingPosition_ = true;
    toolWindow_->floatRightX_ = x() + width();
}

void TFloatingWindowParent::moveEvent(QMoveEvent* e)
{
    QWidget::moveEvent(e);
    remember();
}

void TFloatingWindowParent::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    remember();
}

void TFloatingWindowParent::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    p.fillRect(rect(), systemColor(15, pal));
    // Raised frame: light outside top-left, dark outside bottom-right.
    const QRect r = rect();
    p.setPen(systemColor(22, pal));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(systemColor(21, pal));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
    p.setPen(systemColor(20, pal));
    p.drawLine(r.left() + 1, r.top() + 1, r.right() - 1, r.top() + 1);
    p.drawLine(r.left() + 1, r.top() + 1, r.left() + 1, r.bottom() - 1);
    p.setPen(systemColor(16, pal));
    p.drawLine(r.left() + 1, r.bottom() - 1, r.right() - 1, r.bottom() - 1);
    p.drawLine(r.right() - 1, r.top() + 1, r.right() - 1, r.bottom() - 1);

    const QRect cap = captionRect();
    if (cap.height() <= 0)
        return;
    p.fillRect(cap, pal.color(QPalette::Highlight));
    QFont f = font();
    f.setPixelSize(cap.height() - 3);
    f.setBold(true);
    p.setFont(f);
    p.setPen(pal.color(QPalette::HighlightedText));
    const QRect close = closeButtonRect();
    QRect text = cap.adjusted(2, 0, close.isEmpty() ? -2 : -close.width() - 3, 0);
    p.drawText(text, Qt::AlignLeft | Qt::AlignVCenter,
               p.fontMetrics().elidedText(toolWindow_->caption(), Qt::ElideRight, text.width()));
    if (close.isEmpty())
        return;
    p.fillRect(close, systemColor(15, pal));
    p.setPen(closePressed_ ? systemColor(16, pal) : systemColor(20, pal));
    p.drawLine(close.topLeft(), close.topRight());
    p.drawLine(close.topLeft(), close.bottomLeft());
    p.setPen(closePressed_ ? systemColor(20, pal) : systemColor(21, pal));
    p.drawLine(close.bottomLeft(), close.bottomRight());
    p.drawLine(close.topRight(), close.bottomRight());
    p.setPen(QPen(pal.color(QPalette::ButtonText), 1.5));
    p.setRenderHint(QPainter::Antialiasing);
    const QRectF x =
        QRectF(close).adjusted(3.5, 3.5, -3.5, -3.5).translated(closePressed_ ? 1 : 0, closePressed_ ? 1 : 0);
    p.drawLine(x.topLeft(), x.bottomRight());
    p.drawLine(x.topRight(), x.bottomLeft());
}

void TFloatingWindowParent::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton)
        return;
    const QPoint pos = e->position().toPoint();
    if (closeButtonRect().contains(pos)) {
        closePressed_ = true;
        update();
        return;
    }
    // The caption and the frame both move the window.
    toolWindow_->beginDrag(e->globalPosition().toPoint(), pos, size(), e->modifiers());
}

void TFloatingWindowParent::mouseReleaseEvent(QMouseEvent* e)
{
    if (!closePressed_ || e->button() != Qt::LeftButton)
        return;
    closePressed_ = false;
    update();
    if (closeButtonRect().contains(e->position().toPoint()))
        clickCloseBox();
}

void TFloatingWindowParent::clickCloseBox() { toolWindow_->setVisible(false); }

void TFloatingWindowParent::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() == Qt::LeftButton && captionRect().contains(e->position().toPoint()) &&
        !closeButtonRect().contains(e->position().toPoint()))
        toolWindow_->doubleClickAction();
}

}  // namespace docking
