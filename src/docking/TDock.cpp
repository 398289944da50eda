#include "docking/TDock.h"

#include "docking/FormComponents.h"
#include "docking/TCustomToolWindow.h"

#include <QEvent>
#include <QImage>
#include <QLayout>
#include <QPaintEvent>
#include <QPainter>

#include <algorithm>
#include <stdexcept>

namespace docking {
namespace {

QWidget* checkedDockParent(QWidget* parent)
{
    for (QWidget* w = parent; w; w = w->parentWidget())
        if (qobject_cast<TCustomToolWindow*>(w) || qobject_cast<TDock*>(w))
            throw std::runtime_error("A TDock control cannot be placed inside a tool window or another TDock");
    return parent;
}

}  // namespace

TDock::TDock(QWidget* parent, DockPosition position)
    : QWidget(checkedDockParent(parent)), position_(position), serial_(nextComponentSerial())
{
    setAutoFillBackground(false);
    resizeAcross(0);
}

TDock::~TDock()
{
    // The tool windows are destroyed after this object as children; they must not call back.
    for (TCustomToolWindow* tw : toolWindows_)
        tw->dock_ = nullptr;
    toolWindows_.clear();
}

void TDock::setPosition(DockPosition p)
{
    if (p == position_)
        return;
    if (!toolWindows_.empty())
        throw std::runtime_error("Cannot change Position of a TDock if it already contains controls");
    position_ = p;
    updateMargins();
    layoutDockRows(false);
}

void TDock::setBoundLines(BoundLines lines)
{
    if (lines == boundLines_)
        return;
    boundLines_ = lines;
    updateMargins();
    layoutDockRows(false);
    update();
}

void TDock::updateMargins()
{
    setContentsMargins(boundLines_.testFlag(blLeft) ? 1 : 0, boundLines_.testFlag(blTop) ? 1 : 0,
                       boundLines_.testFlag(blRight) ? 1 : 0, boundLines_.testFlag(blBottom) ? 1 : 0);
}

void TDock::setFixAlign(bool on)
{
    if (on == fixAlign_)
        return;
    fixAlign_ = on;
    layoutDockRows(false);
}

void TDock::setLimitToOneRow(bool on)
{
    if (on == limitToOneRow_)
        return;
    limitToOneRow_ = on;
    layoutDockRows(false);
}

void TDock::setColor(ColorValue c)
{
    color_ = c;
    transparentTile_ = QPixmap();
    update();
    for (TCustomToolWindow* tw : toolWindows_)
        tw->update();
}

void TDock::setBackground(const QPixmap& p)
{
    background_ = p;
    transparentTile_ = QPixmap();
    update();
    for (TCustomToolWindow* tw : toolWindows_)
        tw->update();
}

void TDock::setBackgroundOnToolbars(bool on)
{
    backgroundOnToolbars_ = on;
    for (TCustomToolWindow* tw : toolWindows_)
        tw->update();
}

void TDock::setBackgroundTransparent(bool on)
{
    if (on == backgroundTransparent_)
        return;
    backgroundTransparent_ = on;
    transparentTile_ = QPixmap();
    update();
}

bool TDock::requestDock(TCustomToolWindow* toolWindow) { return !onRequestDock_ || onRequestDock_(this, toolWindow); }

QList<TCustomToolWindow*> TDock::toolWindows() const
{
    return QList<TCustomToolWindow*>(toolWindows_.begin(), toolWindows_.end());
}

int TDock::innerLength() const
{
    const QMargins m = contentsMargins();
    return std::max(0, isVertical() ? height() - m.top() - m.bottom() : width() - m.left() - m.right());
}

bool TDock::anyVisible() const
{
    return std::any_of(toolWindows_.begin(), toolWindows_.end(),
                       [](const TCustomToolWindow* tw) { return tw->isToolWindowVisible(); });
}

void TDock::insertToolWindow(TCustomToolWindow* tw)
{
    if (std::find(toolWindows_.begin(), toolWindows_.end(), tw) != toolWindows_.end())
        return;
    toolWindows_.push_back(tw);
    emit insertRemoveBar(tw, true);
    layoutDockRows(false);
}

void TDock::removeToolWindow(TCustomToolWindow* tw)
{
    const auto it = std::find(toolWindows_.begin(), toolWindows_.end(), tw);
    if (it == toolWindows_.end())
        return;
    toolWindows_.erase(it);
    emit insertRemoveBar(tw, false);
    layoutDockRows(false);
}

void TDock::layoutDockRows(bool writeBack)
{
    if (writeBack)
        writeBackNeeded_ = true;
    if (suspend_ > 0 || isFormLoading(window())) {
        arrangeNeeded_ = true;
        return;
    }
    ++suspend_;
    raise();

    const bool vertical = isVertical();
    int thickness = fixAlign_ ? 1 : 0;
    if (anyVisible()) {
        std::vector<DockBar> bars;
        bars.reserve(toolWindows_.size());
        for (const TCustomToolWindow* tw : toolWindows_) {
            const QSize s = tw->dockedSize(vertical);
            bars.push_back({tw->dockRow_, tw->dockPos_, vertical ? s.height() : s.width(), tw->rowThickness(vertical),
                            tw->fullSize_, tw->isToolWindowVisible()});
        }
        const RowLayoutResult r = layoutRows(bars, innerLength(), limitToOneRow_, writeBackNeeded_);
        for (std::size_t i = 0; i < bars.size(); ++i) {
            toolWindows_[i]->dockRow_ = bars[i].row;
            toolWindows_[i]->dockPos_ = bars[i].pos;
        }
        const QRect client = contentsRect();
        for (std::size_t i = 0; i < bars.size(); ++i) {
            const BarPlacement& p = r.placements[i];
            if (!p.placed)
                continue;
            const QRect g = vertical ? QRect(client.left() + p.offset, client.top() + p.pos, p.thickness, p.length)
                                     : QRect(client.left() + p.pos, client.top() + p.offset, p.length, p.thickness);
            toolWindows_[i]->placeByDock(g);
        }
        std::vector<TCustomToolWindow*> sorted;
        sorted.reserve(r.order.size());
        for (std::size_t i : r.order)
            sorted.push_back(toolWindows_[i]);
        toolWindows_ = std::move(sorted);
        rowThickness_ = r.rowThickness;
        const QMargins m = contentsMargins();
        thickness = r.thickness + (vertical ? m.left() + m.right() : m.top() + m.bottom());
    } else {
        rowThickness_.clear();
    }
    resizeAcross(thickness);
    update();

    --suspend_;
    arrangeNeeded_ = false;
    writeBackNeeded_ = false;
}

void TDock::resizeAcross(int t)
{
    QRect g = geometry();
    if (isVertical()) {
        setMinimumWidth(t);
        setMaximumWidth(t);
        if (position_ == dpRight)
            g.setLeft(g.left() + g.width() - t);
        else
            g.setWidth(t);
    } else {
        setMinimumHeight(t);
        setMaximumHeight(t);
        if (position_ == dpBottom)
            g.setTop(g.top() + g.height() - t);
        else
            g.setHeight(t);
    }
    // Inside a layout the layout places the dock; on its own it keeps its far edge.
    if (!parentWidget() || !parentWidget()->layout())
        setGeometry(g);
}

void TDock::suspendArrange() { ++suspend_; }

void TDock::resumeArrange()
{
    if (suspend_ == 0)
        return;
    if (--suspend_ == 0 && arrangeNeeded_)
        layoutDockRows(writeBackNeeded_);
}

void TDock::arrangeIfNeeded()
{
    if (arrangeNeeded_)
        layoutDockRows(writeBackNeeded_);
}

RowHit TDock::rowAtOffset(int offset) const { return docking::rowAtOffset(rowThickness_, offset); }

void TDock::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    layoutDockRows(false);
    if (!isFormLoading(window()))
        emit resized();
}

void TDock::changeEvent(QEvent* e)
{
    if (e->type() == QEvent::PaletteChange)
        transparentTile_ = QPixmap();
    QWidget::changeEvent(e);
}

const QPixmap& TDock::tile()
{
    if (!backgroundTransparent_)
        return background_;
    if (transparentTile_.isNull() && !background_.isNull()) {
        QImage img = background_.toImage().convertToFormat(QImage::Format_ARGB32);
        const QRgb key = img.pixel(0, img.height() - 1);
        const QRgb fill = toQColor(color_, palette()).rgba();
        for (int y = 0; y < img.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(img.scanLine(y));
            for (int x = 0; x < img.width(); ++x)
                if (line[x] == key)
                    line[x] = fill;
        }
        transparentTile_ = QPixmap::fromImage(img);
    }
    return transparentTile_;
}

void TDock::paintBackgroundOn(QPainter& painter, const QWidget* target, const QRect& rect)
{
    painter.fillRect(rect, toQColor(color_, palette()));
    if (background_.isNull())
        return;
    const QWidget* origin = parentWidget() ? parentWidget() : this;
    const QPoint offset = target == origin ? QPoint() : target->mapTo(origin, QPoint(0, 0));
    painter.save();
    painter.setBrushOrigin(-offset);
    painter.fillRect(rect, QBrush(tile()));
    painter.restore();
}

void TDock::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.fillRect(rect(), toQColor(color_, palette()));
    if (!background_.isNull())
        paintBackgroundOn(p, this, contentsRect());
    if (boundLines_ == BoundLines() || !anyVisible())
        return;
    const QColor shadow = systemColor(16, palette());
    const QColor highlight = systemColor(20, palette());
    const QRect r = rect();
    if (boundLines_.testFlag(blTop))
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), shadow);
    if (boundLines_.testFlag(blLeft))
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), shadow);
    if (boundLines_.testFlag(blBottom))
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), highlight);
    if (boundLines_.testFlag(blRight))
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), highlight);
}

}  // namespace docking
