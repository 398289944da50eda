#include "docking/ToolWindowDrag.h"

#include "docking/DragOutline.h"
#include "docking/TCustomToolWindow.h"
#include "docking/TDock.h"

#include <QApplication>
#include <QDrag>
#include <QKeyEvent>
#include <QMimeData>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>

namespace docking {
namespace {

Rect toRect(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
QRect toQRect(const Rect& r) { return QRect(r.left, r.top, r.width(), r.height()); }
Size toSize(const QSize& s) { return {s.width(), s.height()}; }
Point toPoint(const QPoint& p) { return {p.x(), p.y()}; }

Rect workAreaAt(const QPoint& p)
{
    QScreen* screen = QGuiApplication::screenAt(p);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    return screen ? toRect(screen->availableGeometry()) : Rect{};
}

// Watches the whole application while a drag runs: keys, buttons and moves belong to the drag, and
// so do the drag-and-drop events of its windows when it runs as one.
class DragFilter : public QObject {
public:
    std::function<void(QObject*, QEvent*)> handler;

protected:
    bool eventFilter(QObject* receiver, QEvent* e) override
    {
        switch (e->type()) {
        case QEvent::ShortcutOverride:
            e->accept();  // no shortcut may fire while dragging (Esc cancels the drag instead)
            return true;
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::MouseMove:
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonDblClick: handler(receiver, e); return true;
        case QEvent::DragEnter:
        case QEvent::DragMove:
        case QEvent::DragLeave:
        case QEvent::Drop:
            // Taken where they reach a window, before a widget in it that accepts drops sees them.
            if (!qobject_cast<QWindow*>(receiver))
                return false;
            handler(receiver, e);
            return true;
        case QEvent::MouseButtonRelease:
            // The release goes on to the widget that took the press: swallowed, it would leave the
            // application believing the button still held, and no button would light up under
            // the pointer until the next click.
            handler(receiver, e);
            return false;
        default: return false;
        }
    }
};

}  // namespace

ToolWindowDrag::ToolWindowDrag(TCustomToolWindow& window, Apply apply) : window_(window), apply_(std::move(apply)) {}

ToolWindowDrag::~ToolWindowDrag() { cancel(); }

void ToolWindowDrag::press(const QPoint& globalPos, const QPoint& grabPoint, const QSize& windowSize, bool ctrl,
                           const std::vector<TDock*>& docks)
{
    if (state_ != State::Idle)
        return;
    state_ = State::Pressed;
    situation_ = {};
    situation_.grab = {toPoint(grabPoint), {windowSize.width() - 1, windowSize.height() - 1}};
    situation_.floatOnly = ctrl;
    situation_.cannotFloat = window_.dockMode() != dmCanFloat;
    situation_.fullSize = window_.fullSize();
    situation_.floatingSize = toSize(window_.floatingWindowSize());
    situation_.frameThickness = TCustomToolWindow::kFloatingFrame;
    dataDrag_ = window_.isFloating() && !TCustomToolWindow::windowPlacesKnown();
    situation_.floatPlaceFixed = dataDrag_;
    dropped_ = false;
    overForm_ = false;
    grabPoint_ = grabPoint;
    docks_.clear();
    dockedSizes_.clear();
    for (TDock* d : docks) {
        docks_.emplace_back(d);
        dockedSizes_.push_back(toSize(d == window_.dockedTo() ? window_.size() : window_.dockedSize(d->isVertical())));
    }
    // Under Wayland no window can be put where the frame belongs: it is drawn inside the form.
    QWidget* const form = docks.empty() ? nullptr : docks.front()->window();
    outline_ = std::make_unique<DragOutline>(TCustomToolWindow::windowPlacesKnown() ? nullptr : form);

    auto* filter = new DragFilter;
    filter->setParent(&window_);
    filter->handler = [this](QObject* receiver, QEvent* e) { handle(receiver, e); };
    filter_ = filter;
    qApp->installEventFilter(filter);
    start_ = globalPos;
    situation_.cursor = toPoint(globalPos);
    if (!dataDrag_)
        choose();  // a floating window's place on the screen is not known: no outline yet
}

void ToolWindowDrag::move(const QPoint& globalPos)
{
    if (state_ == State::Idle)
        return;
    if (dataDrag_) {
        if (state_ == State::Pressed && globalPos != start_) {
            state_ = State::Dragging;
            runDataDrag();
        }
        return;
    }
    if (globalPos != start_)
        state_ = State::Dragging;
    situation_.cursor = toPoint(globalPos);
    choose();
}

// Runs until the drop, in a loop of its own; the compositor moves the pointer's picture and
// reports it over each window of the program (dataDragAt).
void ToolWindowDrag::runDataDrag()
{
    auto* drag = new QDrag(&window_);
    auto* data = new QMimeData;
    data->setData(QStringLiteral("application/x-brevon-tool-window"), QByteArray::number(window_.serial()));
    drag->setMimeData(data);
    // The floating window as designed, whatever size the compositor gave it.
    if (QWidget* floating = window_.window()) {
        drag->setPixmap(floating->grab(QRect(QPoint(0, 0), window_.floatingWindowSize())));
        drag->setHotSpot(grabPoint_);
    }
    const QPointer<QDrag> guard(drag);
    drag->exec(Qt::MoveAction);
    if (guard)
        guard->deleteLater();
    end(dropped_);
}

// The forms whose docks it may go to: the windows that can tell where the pointer is.
void ToolWindowDrag::dataDragAt(QObject* receiver, QDropEvent* e)
{
    QWidget* form = nullptr;
    for (const QPointer<TDock>& d : docks_)
        if (d && d->window()->windowHandle() == receiver)
            form = d->window();
    if (!form) {
        leaveForms();
        e->ignore();
        return;
    }
    // The form's own coordinates, made "global" as the docks' rectangles are: both are off by the
    // same unknown place of the window, so the outline and the hot zones meet where the pointer is.
    situation_.cursor = toPoint(form->mapToGlobal(e->position().toPoint()));
    overForm_ = true;
    choose();
    if (!target_) {
        e->ignore();
        return;
    }
    e->setDropAction(Qt::MoveAction);
    e->accept();
    if (e->type() == QEvent::Drop)
        dropped_ = true;
}

void ToolWindowDrag::leaveForms()
{
    overForm_ = false;
    choice_ = {};
    target_ = nullptr;
    if (outline_)
        outline_->hide();
}

void ToolWindowDrag::setCtrl(bool held)
{
    if (state_ == State::Idle)
        return;
    situation_.floatOnly = held;
    if (!dataDrag_ || overForm_)
        choose();
}

void ToolWindowDrag::release() { end(true); }

void ToolWindowDrag::cancel() { end(false); }

QRect ToolWindowDrag::outline() const { return outline_ ? outline_->rect() : QRect(); }

int ToolWindowDrag::outlineThickness() const { return outline_ ? outline_->thickness() : 0; }

void ToolWindowDrag::handle(QObject* receiver, QEvent* e)
{
    switch (e->type()) {
    // Once dropped, the choice stands: the window left after the drop is told so too.
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        if (dataDrag_ && state_ == State::Dragging && !dropped_)
            dataDragAt(receiver, static_cast<QDropEvent*>(e));
        break;
    case QEvent::DragLeave:
        if (dataDrag_ && !dropped_)
            leaveForms();
        break;
    case QEvent::KeyPress:
    case QEvent::KeyRelease: {
        const int key = static_cast<QKeyEvent*>(e)->key();
        if (key == Qt::Key_Control)
            setCtrl(e->type() == QEvent::KeyPress);
        else if (key == Qt::Key_Escape)
            cancel();
        break;
    }
    case QEvent::MouseMove: move(static_cast<QMouseEvent*>(e)->globalPosition().toPoint()); break;
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonDblClick:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
            cancel();
        break;
    case QEvent::MouseButtonRelease:
        if (static_cast<QMouseEvent*>(e)->button() == Qt::LeftButton)
            release();
        break;
    default: break;
    }
}

void ToolWindowDrag::choose()
{
    const QPoint cursor(situation_.cursor.x, situation_.cursor.y);
    situation_.workArea = workAreaAt(cursor);
    situation_.captionHeight = window_.showCaption() ? TCustomToolWindow::kCaptionHeight : 0;
    // The docks as they stand now: a form may have moved or a dock grown since the press.
    std::vector<DropDock> docks;
    std::vector<TDock*> live;
    for (std::size_t i = 0; i < docks_.size() && !situation_.floatOnly; ++i) {
        TDock* d = docks_[i];
        if (!d)
            continue;
        DropDock& dd = docks.emplace_back();
        dd.rect = toRect(QRect(d->mapToGlobal(QPoint(0, 0)), d->size()));
        dd.position = d->position();
        dd.outlineSize = dockedSizes_[i];
        dd.clientOrigin = toPoint(d->mapToGlobal(d->contentsRect().topLeft()));
        dd.rowThickness = d->rowThicknesses();
        for (const TCustomToolWindow* tw : d->toolWindows())
            if (tw != &window_)
                dd.rowsOfOthers.push_back(tw->dockRow());
        live.push_back(d);
    }
    choice_ = chooseDrop(situation_, docks, [&](std::size_t i) { return live[i]->requestDock(&window_); });
    target_ = choice_.dock ? live[*choice_.dock] : nullptr;

    const bool forbidden = !target_ && situation_.cannotFloat;
    if (forbidden != forbidden_) {
        if (forbidden)
            QApplication::setOverrideCursor(Qt::ForbiddenCursor);
        else
            QApplication::restoreOverrideCursor();
        forbidden_ = forbidden;
    }
    outline_->show(toQRect(choice_.outline), target_ ? 1 : TCustomToolWindow::kFloatingFrame);
}

void ToolWindowDrag::end(bool drop)
{
    if (state_ == State::Idle)
        return;
    const bool moved = state_ == State::Dragging;
    state_ = State::Idle;
    if (filter_) {
        qApp->removeEventFilter(filter_);
        filter_->deleteLater();  // it may be the caller
    }
    const std::unique_ptr<DragOutline> outline = std::move(outline_);
    outline->hide();
    if (forbidden_) {
        QApplication::restoreOverrideCursor();
        forbidden_ = false;
    }
    TDock* target = target_;
    target_ = nullptr;
    docks_.clear();
    if (drop && moved && !choice_.outline.isEmpty())
        apply_(target, choice_);
}

}  // namespace docking
