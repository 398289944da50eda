#include "docking/DockingAccessible.h"

#include "docking/TCustomToolWindow.h"
#include "docking/TFloatingWindowParent.h"
#include "docking/TToolbarButton.h"

#include <QAccessibleWidget>
#include <QPointer>

namespace docking {

namespace {

// A caption's mnemonic marker is not read out: "&&" stands for one "&", a single "&" for nothing.
QString withoutMnemonic(const QString& caption)
{
    QString out;
    out.reserve(caption.size());
    for (qsizetype i = 0; i < caption.size(); ++i) {
        if (caption[i] != u'&')
            out += caption[i];
        else if (i + 1 < caption.size() && caption[i + 1] == u'&')
            out += caption[++i];
    }
    return out;
}

// A click asked for by an assistive tool runs from the event loop, not inside its bus call: a handler
// that opens a modal dialog would otherwise keep the caller waiting until the dialog closes.
template <typename Widget, typename Call> void later(Widget* w, Call call)
{
    QMetaObject::invokeMethod(
        w,
        [guard = QPointer<Widget>(w), call] {
            if (guard)
                call(guard.data());
        },
        Qt::QueuedConnection);
}

class ToolbarButtonAccessible : public QAccessibleWidget {
public:
    explicit ToolbarButtonAccessible(TToolbarButton* b) : QAccessibleWidget(b, QAccessible::Button) {}

    TToolbarButton* button() const { return static_cast<TToolbarButton*>(widget()); }

    QAccessible::Role role() const override
    {
        if (button()->groupIndex() == 0)
            return QAccessible::Button;
        // A group that may be left with none down behaves as a set of check boxes.
        return button()->allowAllUp() ? QAccessible::CheckBox : QAccessible::RadioButton;
    }

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !own.isEmpty())
            return own;
        const QString hint = button()->hint();
        return hint.isEmpty() ? withoutMnemonic(button()->caption()) : hint;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        if (button()->groupIndex() != 0) {
            s.checkable = true;
            s.checked = button()->down();
        }
        s.pressed = button()->state() == ButtonState::Pressed;
        return s;
    }

    QStringList actionNames() const override { return QStringList{pressAction()} + QAccessibleWidget::actionNames(); }

    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        if (button()->isEnabled())
            later(button(), [](TToolbarButton* b) {
                if (b->isEnabled())
                    b->click();
            });
    }

    QStringList keyBindingsForAction(const QString& action) const override
    {
        return action == pressAction() ? QStringList() : QAccessibleWidget::keyBindingsForAction(action);
    }
};

class ToolWindowAccessible : public QAccessibleWidget {
public:
    explicit ToolWindowAccessible(TCustomToolWindow* w) : QAccessibleWidget(w, QAccessible::ToolBar) {}

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !own.isEmpty())
            return own;
        return static_cast<TCustomToolWindow*>(widget())->caption();
    }
};

class FloatingWindowAccessible;

// The close box is painted by the floating window, so it has no widget of its own.
class CloseBoxAccessible : public QAccessibleInterface, public QAccessibleActionInterface {
public:
    explicit CloseBoxAccessible(FloatingWindowAccessible* owner, TFloatingWindowParent* window)
        : owner_(owner), window_(window)
    {
    }

    bool isValid() const override { return !window_.isNull(); }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override;
    QAccessibleInterface* parent() const override;
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }
    QAccessible::Role role() const override { return QAccessible::Button; }

    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? QStringLiteral("閉じる") : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}

    QRect rect() const override
    {
        if (!window_)
            return {};
        const QRect r = window_->closeButtonRect();
        return r.isEmpty() ? QRect() : QRect(window_->mapToGlobal(r.topLeft()), r.size());
    }

    QAccessible::State state() const override
    {
        QAccessible::State s;
        if (!window_ || !window_->isVisible() || window_->closeButtonRect().isEmpty())
            s.invisible = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        return t == QAccessible::ActionInterface ? static_cast<QAccessibleActionInterface*>(this) : nullptr;
    }

    QStringList actionNames() const override { return {pressAction()}; }
    void doAction(const QString& action) override
    {
        if (action == pressAction() && window_)
            later(window_.data(), [](TFloatingWindowParent* w) { w->clickCloseBox(); });
    }
    QStringList keyBindingsForAction(const QString&) const override { return {}; }

private:
    FloatingWindowAccessible* owner_;
    QPointer<TFloatingWindowParent> window_;
};

class FloatingWindowAccessible : public QAccessibleWidget {
public:
    explicit FloatingWindowAccessible(TFloatingWindowParent* w) : QAccessibleWidget(w, QAccessible::Window) {}

    ~FloatingWindowAccessible() override
    {
        if (closeBoxId_)
            QAccessible::deleteAccessibleInterface(closeBoxId_);
    }

    TFloatingWindowParent* floating() const { return static_cast<TFloatingWindowParent*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t != QAccessible::Name || !own.isEmpty())
            return own;
        // A toolbar without a caption floats in an untitled window: it is named as its toolbar.
        const QString caption = floating()->toolWindow()->caption();
        return caption.isEmpty() ? floating()->toolWindow()->accessibleName() : caption;
    }

    int childCount() const override { return QAccessibleWidget::childCount() + (hasCloseBox() ? 1 : 0); }

    QAccessibleInterface* child(int index) const override
    {
        const int widgets = QAccessibleWidget::childCount();
        if (index == widgets && hasCloseBox())
            return closeBox();
        return QAccessibleWidget::child(index);
    }

    int indexOfChild(const QAccessibleInterface* c) const override
    {
        if (closeBoxId_ && c == QAccessible::accessibleInterface(closeBoxId_))
            return hasCloseBox() ? QAccessibleWidget::childCount() : -1;
        return QAccessibleWidget::indexOfChild(c);
    }

    QAccessibleInterface* childAt(int x, int y) const override
    {
        if (hasCloseBox() && closeBox()->rect().contains(x, y))
            return closeBox();
        return QAccessibleWidget::childAt(x, y);
    }

private:
    bool hasCloseBox() const { return !floating()->closeButtonRect().isEmpty(); }

    QAccessibleInterface* closeBox() const
    {
        if (!closeBoxId_)
            closeBoxId_ = QAccessible::registerAccessibleInterface(
                new CloseBoxAccessible(const_cast<FloatingWindowAccessible*>(this), floating()));
        return QAccessible::accessibleInterface(closeBoxId_);
    }

    mutable QAccessible::Id closeBoxId_ = 0;
};

QWindow* CloseBoxAccessible::window() const { return owner_->window(); }

QAccessibleInterface* CloseBoxAccessible::parent() const { return owner_; }

}  // namespace

QAccessibleInterface* accessibleInterface(const QString&, QObject* object)
{
    if (auto* b = qobject_cast<TToolbarButton*>(object))
        return new ToolbarButtonAccessible(b);
    if (auto* w = qobject_cast<TCustomToolWindow*>(object))
        return new ToolWindowAccessible(w);
    if (auto* f = qobject_cast<TFloatingWindowParent*>(object))
        return new FloatingWindowAccessible(f);
    return nullptr;
}

}  // namespace docking
