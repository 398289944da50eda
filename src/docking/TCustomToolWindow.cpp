#include "docking/TCustomToolWindow.h"

#include "docking/DockColors.h"
#include "docking/FormComponents.h"
#include "docking/TDock.h"
#include "docking/TFloatingWindowParent.h"
#include "docking/ToolWindowDrag.h"

#include <QChildEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <stdexcept>

namespace docking {
namespace {

QWidget* checkedToolWindowParent(QWidget* parent)
{
    if (parent && !qobject_cast<TDock*>(parent) && !qobject_cast<TFloatingWindowParent*>(parent) && !parent->isWindow())
        throw std::runtime_error("A tool window can only be placed on a TDock or directly on the form");
    return parent;
}

}  // namespace

TCustomToolWindow::TCustomToolWindow(QWidget* parent)
    : QWidget(checkedToolWindowParent(parent)),
      drag_(std::make_unique<ToolWindowDrag>(
          *this, [this](TDock* target, const DropChoice& choice) { applyMove(target, choice); })),
      serial_(nextComponentSerial())
{
    if (parent)
        form_ = parent->window();
    if (auto* dock = qobject_cast<TDock*>(parent)) {
        dock_ = dock;
        if (useLastDock_)
            lastDock_ = dock;
        dock->insertToolWindow(this);
    }
}

TCustomToolWindow::~TCustomToolWindow()
{
    drag_->cancel();
    if (dock_)
        dock_->removeToolWindow(this);
    // The floating window belongs to the form; it has nothing left to show.
    if (floatParent_ && parentWidget() == floatParent_)
        floatParent_->deleteLater();
}

QWidget* TCustomToolWindow::form() const
{
    if (dock_)
        return dock_->window();
    return form_;
}

// ---- Where it is ----

void TCustomToolWindow::reparentTo(QWidget* parent)
{
    ++internalChange_;
    setParent(parent);
    QWidget::setVisible(visible_);
    --internalChange_;
}

void TCustomToolWindow::setDockedTo(TDock* dock)
{
    if (!dock) {
        if (!floating_)
            floatAt(hasFloatingPosition_ ? floatingPosition_ : mapToGlobal(QPoint(0, 0)));
        return;
    }
    if (dock == dock_) {
        dock->layoutDockRows(false);
        return;
    }
    TDock* old = dock_;
    dock_ = nullptr;
    if (old)
        old->removeToolWindow(this);
    form_ = dock->window();
    reparentTo(dock);
    floating_ = false;
    if (floatParent_)
        floatParent_->hide();
    dock_ = dock;
    if (useLastDock_)
        lastDock_ = dock;
    dock->insertToolWindow(this);
    update();
    notifyDockChanged();
}

void TCustomToolWindow::floatAt(const QPoint& screenPos)
{
    QWidget* f = form();
    TDock* old = dock_;
    dock_ = nullptr;
    if (old) {
        if (useLastDock_)
            lastDock_ = old;
        old->removeToolWindow(this);
    }
    if (!floatParent_) {
        floatParent_ = new TFloatingWindowParent(this, f);
        if (floatingMode_ == fmOnTopOfAllForms)
            floatParent_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
    }
    const bool wasFloating = floating_;
    floating_ = true;
    if (!wasFloating)
        reparentTo(floatParent_);
    layoutFloating();
    floatParent_->move(screenPos);
    floatingPosition_ = screenPos;
    hasFloatingPosition_ = true;
    floatRightX_ = screenPos.x() + floatParent_->width();
    floatParent_->setVisible(visible_ && (!f || f->isVisible()));
    if (!wasFloating)
        notifyDockChanged();
    if (f && !watchingForm_) {
        f->installEventFilter(this);
        watchingForm_ = true;
    }
}

bool TCustomToolWindow::windowPlacesKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

void TCustomToolWindow::setFloatingPosition(const QPoint& p)
{
    floatingPosition_ = p;
    hasFloatingPosition_ = true;
    if (floating_ && floatParent_) {
        floatParent_->move(p);
        floatRightX_ = p.x() + floatParent_->width();
    }
}

void TCustomToolWindow::setDockRow(int row)
{
    dockRow_ = row;
    if (dock_)
        dock_->layoutDockRows(false);
}

void TCustomToolWindow::setDockPos(int pos)
{
    dockPos_ = pos;
    if (dock_)
        dock_->layoutDockRows(false);
}

void TCustomToolWindow::setFullSize(bool on)
{
    fullSize_ = on;
    if (dock_)
        dock_->layoutDockRows(false);
}

TDock* TCustomToolWindow::defaultDock() const { return defaultDock_; }
void TCustomToolWindow::setDefaultDock(TDock* d) { defaultDock_ = d; }
TDock* TCustomToolWindow::lastDock() const { return lastDock_; }
void TCustomToolWindow::setLastDock(TDock* d) { lastDock_ = d; }

void TCustomToolWindow::setUseLastDock(bool on)
{
    useLastDock_ = on;
    if (!on)
        lastDock_ = nullptr;
}

void TCustomToolWindow::addDockableForm(QWidget* form)
{
    if (form)
        dockableForms_.emplace_back(form);
}

void TCustomToolWindow::setVisible(bool visible)
{
    if (internalChange_) {
        QWidget::setVisible(visible);
        return;
    }
    visible_ = visible;
    if (floating_ && floatParent_) {
        QWidget::setVisible(visible);
        QWidget* f = form();
        floatParent_->setVisible(visible && (!f || f->isVisible()));
        return;
    }
    QWidget::setVisible(visible);
    if (dock_)
        dock_->layoutDockRows(false);
}

// ---- Appearance ----

void TCustomToolWindow::setCaption(const QString& c)
{
    setWindowTitle(c);
    layoutFloating();
}

void TCustomToolWindow::setShowCaption(bool on)
{
    showCaption_ = on;
    if (floating_)
        layoutFloating();
}

void TCustomToolWindow::setDragHandleStyle(DragHandleStyle s)
{
    dragHandleStyle_ = s;
    arrangeContents();
}

void TCustomToolWindow::setCloseButton(bool on)
{
    closeButton_ = on;
    if (floatParent_)
        floatParent_->update();
}

void TCustomToolWindow::setFloatingMode(FloatingMode m)
{
    floatingMode_ = m;
    if (floatParent_) {
        const bool shown = floatParent_->isVisible();
        floatParent_->setWindowFlag(Qt::WindowStaysOnTopHint, m == fmOnTopOfAllForms);
        floatParent_->setVisible(shown);
    }
}

void TCustomToolWindow::setBorderStyle(ToolWindowBorderStyle s)
{
    borderStyle_ = s;
    arrangeContents();
}

// ---- Sizes and contents ----

int TCustomToolWindow::handleSize() const
{
    switch (dragHandleStyle_) {
    case dhNone: return 0;
    case dhSingle: return 6;
    case dhDouble: return 9;
    }
    return 0;
}

QList<QWidget*> TCustomToolWindow::contentWidgets() const
{
    QList<QWidget*> list;
    for (const QPointer<QWidget>& w : items_)
        if (w && w->parentWidget() == this)
            list.push_back(w);
    return list;
}

QSize TCustomToolWindow::contentSize(bool vertical) const
{
    int along = 0;
    int across = 0;
    for (QWidget* w : contentWidgets()) {
        if (!w->isVisibleTo(this))
            continue;  // hidden children take no room
        along += vertical ? w->height() : w->width();
        across = std::max(across, vertical ? w->width() : w->height());
    }
    return vertical ? QSize(across, along) : QSize(along, across);
}

void TCustomToolWindow::arrangeContent(const QRect& area, bool vertical)
{
    int at = vertical ? area.top() : area.left();
    for (QWidget* w : contentWidgets()) {
        if (!w->isVisibleTo(this))
            continue;
        if (vertical) {
            w->move(area.left() + (area.width() - w->width()) / 2, at);
            at += w->height();
        } else {
            w->move(at, area.top() + (area.height() - w->height()) / 2);
            at += w->width();
        }
    }
}

QSize TCustomToolWindow::dockedSize(bool vertical) const
{
    const QSize c = contentSize(vertical);
    const int b = 2 * kDockedBorder;
    return vertical ? QSize(c.width() + b, c.height() + b + handleSize())
                    : QSize(c.width() + b + handleSize(), c.height() + b);
}

int TCustomToolWindow::rowThickness(bool vertical) const
{
    const QSize c = contentSize(vertical);
    return vertical ? c.width() : c.height();
}

QSize TCustomToolWindow::floatingSize() const
{
    const QSize c = contentSize(false);
    return QSize(std::max(c.width(), 8) + 2 * kFloatingPadding, std::max(c.height(), 8) + 2 * kFloatingPadding);
}

QSize TCustomToolWindow::floatingWindowSize() const
{
    const QSize s = floatingSize();
    return QSize(s.width() + 2 * kFloatingFrame, s.height() + 2 * kFloatingFrame + (showCaption_ ? kCaptionHeight : 0));
}

TCustomToolWindow::ContentArea TCustomToolWindow::contentArea() const
{
    if (floating_ || !dock_)
        return {rect().adjusted(kFloatingPadding, kFloatingPadding, -kFloatingPadding, -kFloatingPadding), false};
    ContentArea c{rect().adjusted(kDockedBorder, kDockedBorder, -kDockedBorder, -kDockedBorder), dock_->isVertical()};
    if (c.vertical)
        c.rect.setTop(c.rect.top() + handleSize());
    else
        c.rect.setLeft(c.rect.left() + handleSize());
    return c;
}

TFloatingWindowParent* TCustomToolWindow::floatingWindow() const
{
    return qobject_cast<TFloatingWindowParent*>(floatParent_.data());
}

void TCustomToolWindow::layoutFloating()
{
    if (TFloatingWindowParent* w = floatingWindow())
        w->adjustToToolWindow();
}

void TCustomToolWindow::arrangeContents()
{
    arrangePending_ = false;
    if (floating_)
        layoutFloating();
    else if (dock_)
        dock_->layoutDockRows(false);
    const ContentArea c = contentArea();
    arrangeContent(c.rect, c.vertical);
    update();
}

void TCustomToolWindow::scheduleArrange()
{
    if (arrangePending_)
        return;
    arrangePending_ = true;
    QTimer::singleShot(0, this, [this] {
        if (arrangePending_)
            arrangeContents();
    });
}

void TCustomToolWindow::placeByDock(const QRect& g)
{
    ++placing_;
    setGeometry(g);
    --placing_;
    const ContentArea c = contentArea();
    arrangeContent(c.rect, c.vertical);
}

bool TCustomToolWindow::event(QEvent* e)
{
    if (e->type() == QEvent::ChildAdded || e->type() == QEvent::ChildRemoved) {
        auto* ce = static_cast<QChildEvent*>(e);
        QObject* child = ce->child();
        if (child->isWidgetType()) {
            auto* w = static_cast<QWidget*>(child);
            if (e->type() == QEvent::ChildAdded) {
                if (std::none_of(items_.begin(), items_.end(), [w](const QPointer<QWidget>& p) { return p == w; })) {
                    items_.emplace_back(w);
                    w->installEventFilter(this);
                }
            } else {
                std::erase_if(items_, [w](const QPointer<QWidget>& p) { return !p || p == w; });
            }
            scheduleArrange();
        }
    }
    return QWidget::event(e);
}

void TCustomToolWindow::notifyDockChanged()
{
    if (batching_ == 0)
        emit dockChanged();
}

bool TCustomToolWindow::eventFilter(QObject* watched, QEvent* e)
{
    // A floating tool window appears and disappears with its form. It appears once the form's own
    // window is up: the form's Show comes before the form is mapped, and a window manager stacks the
    // window mapped last on top, which would bury the floating window under its form.
    if (watched == form_ && floating_ && floatParent_ && e->type() == QEvent::Hide)
        floatParent_->setVisible(false);
    if (watched == form_ && floating_ && floatParent_ && e->type() == QEvent::Show) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                if (floating_ && floatParent_ && form_ && form_->isVisible())
                    floatParent_->setVisible(visible_);
            },
            Qt::QueuedConnection);
    }
    if (watched != this && watched->isWidgetType() && static_cast<QWidget*>(watched)->parentWidget() == this) {
        switch (e->type()) {
        case QEvent::ShowToParent:
        case QEvent::HideToParent:
        case QEvent::Resize: scheduleArrange(); break;
        default: break;
        }
    }
    return QWidget::eventFilter(watched, e);
}

void TCustomToolWindow::resizeEvent(QResizeEvent* e)
{
    QWidget::resizeEvent(e);
    const ContentArea c = contentArea();
    arrangeContent(c.rect, c.vertical);
}

void TCustomToolWindow::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const QPalette& pal = palette();
    if (dock_ && dock_->hasBackground() && dock_->backgroundOnToolbars())
        dock_->paintBackgroundOn(p, this, rect());
    else
        p.fillRect(rect(), dock_ ? toQColor(dock_->color(), pal) : systemColor(15, pal));
    if (floating_ || !dock_)
        return;

    const QColor light = systemColor(20, pal);
    const QColor dark = systemColor(16, pal);
    auto raised = [&](const QRect& r) {
        p.fillRect(QRect(r.left(), r.top(), r.width(), 1), light);
        p.fillRect(QRect(r.left(), r.top(), 1, r.height()), light);
        p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), dark);
        p.fillRect(QRect(r.right(), r.top(), 1, r.height()), dark);
    };
    if (borderStyle_ == bsSingle)
        raised(rect());
    const bool vertical = dock_->isVertical();
    const QRect inner = rect().adjusted(kDockedBorder, kDockedBorder, -kDockedBorder, -kDockedBorder);
    // Grips: one or two raised bars across the start of the toolbar.
    const int bars = dragHandleStyle_ == dhDouble ? 2 : dragHandleStyle_ == dhSingle ? 1 : 0;
    for (int i = 0; i < bars; ++i) {
        const int at = 1 + 3 * i;
        raised(vertical ? QRect(inner.left() + 1, inner.top() + at, inner.width() - 2, 3)
                        : QRect(inner.left() + at, inner.top() + 1, 3, inner.height() - 2));
    }
}

// ---- Dragging ----

void TCustomToolWindow::mousePressEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(e);
        return;
    }
    const QPoint pos = e->position().toPoint();
    if (QWidget* child = childAt(pos); child && child->isVisible()) {
        QWidget::mousePressEvent(e);
        return;
    }
    if (dock_ && !dock_->allowDrag())
        return;
    if (floating_ && floatParent_)
        beginDrag(e->globalPosition().toPoint(), mapTo(floatParent_, pos), floatParent_->size(), e->modifiers());
    else if (dock_)
        beginDrag(e->globalPosition().toPoint(), pos, size(), e->modifiers());
}

void TCustomToolWindow::mouseDoubleClickEvent(QMouseEvent* e)
{
    if (e->button() != Qt::LeftButton || childAt(e->position().toPoint())) {
        QWidget::mouseDoubleClickEvent(e);
        return;
    }
    doubleClickAction();
}

void TCustomToolWindow::doubleClickAction()
{
    if (dock_) {
        // A dock that keeps its tool windows keeps them against a double click as against a drag.
        if (dockMode_ == dmCanFloat && dock_->allowDrag())
            floatAt(hasFloatingPosition_ ? floatingPosition_ : mapToGlobal(QPoint(0, 0)));
        return;
    }
    if (!floating_)
        return;
    if (lastDock_) {
        setDockedTo(lastDock_);
    } else if (defaultDock_) {
        dockRow_ = 0;
        dockPos_ = -8;  // after the tool windows already in row 0
        setDockedTo(defaultDock_);
    }
}

std::vector<TDock*> TCustomToolWindow::candidateDocks() const
{
    std::vector<TDock*> result;
    if (dockMode_ == dmCannotFloatOrChangeDocks) {
        if (dock_)
            result.push_back(dock_);
        return result;
    }
    const auto accept = [this](TDock* d) {
        return d->allowDrag() && (dockableTo_ & dockPositionBit(d->position())) != 0;
    };
    // Depth first; within a parent its docks first, top, bottom, left, right, then the others.
    std::function<void(QWidget*)> walk = [&](QWidget* parent) {
        QList<QWidget*> children;
        for (QObject* o : parent->children())
            if (o->isWidgetType()) {
                auto* w = static_cast<QWidget*>(o);
                if (w == this || w->isWindow() || !w->isVisible())
                    continue;
                children.push_back(w);
            }
        for (int pos = dpTop; pos <= dpRight; ++pos)
            for (QWidget* w : children)
                if (auto* d = qobject_cast<TDock*>(w); d && d->position() == pos && accept(d))
                    result.push_back(d);
        for (QWidget* w : children)
            if (auto* d = qobject_cast<TDock*>(w))
                walk(d);
        for (QWidget* w : children)
            if (!qobject_cast<TDock*>(w))
                walk(w);
    };
    std::vector<QWidget*> forms;
    if (QWidget* f = form())
        forms.push_back(f);
    for (const QPointer<QWidget>& f : dockableForms_)
        if (f && std::find(forms.begin(), forms.end(), f.data()) == forms.end())
            forms.push_back(f);
    for (QWidget* f : forms)
        walk(f);
    return result;
}

void TCustomToolWindow::beginDrag(const QPoint& globalPos, const QPoint& grabPoint, const QSize& windowSize,
                                  Qt::KeyboardModifiers modifiers)
{
    drag_->press(globalPos, grabPoint, windowSize, modifiers.testFlag(Qt::ControlModifier), candidateDocks());
}

void TCustomToolWindow::applyMove(TDock* target, const DropChoice& choice)
{
    ++batching_;
    if (!target) {
        const QPoint at(choice.outline.left, choice.outline.top);
        if (floating_)
            setFloatingPosition(at);
        else
            floatAt(at);
        --batching_;
        emit dockChanged();
        return;
    }
    const DropPlace& place = choice.place;
    target->suspendArrange();
    if (place.openRowAt)
        for (TCustomToolWindow* tw : target->toolWindows())
            if (tw != this && tw->dockRow_ >= *place.openRowAt)
                ++tw->dockRow_;
    dockRow_ = place.row;
    dockPos_ = place.pos;
    if (dock_ != target)
        setDockedTo(target);
    if (place.ahead) {
        // The row's sort is stable: first in the dock's list, it goes before a tool window at 0.
        std::vector<TCustomToolWindow*>& list = target->toolWindows_;
        const auto it = std::find(list.begin(), list.end(), this);
        if (it != list.end())
            std::rotate(list.begin(), it, it + 1);
    }
    target->layoutDockRows(true);
    target->resumeArrange();
    --batching_;
    emit dockChanged();
}

bool TCustomToolWindow::isDragging() const { return drag_->state() != ToolWindowDrag::State::Idle; }

QRect TCustomToolWindow::dragOutline() const { return drag_->outline(); }

int TCustomToolWindow::dragOutlineThickness() const { return drag_->outlineThickness(); }

TDock* TCustomToolWindow::dragTarget() const { return drag_->target(); }

}  // namespace docking
