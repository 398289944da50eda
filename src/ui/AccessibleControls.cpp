#include "ui/AccessibleControls.h"

#include "docking/DockingAccessible.h"
#include "ui/Announcer.h"
#include "ui/UpDown.h"

#include <QAccessibleWidget>
#include <QFontMetrics>
#include <QLineEdit>

namespace ui {

namespace {

// The number field and the arrows beside it are one spin button to a screen reader, as a stock
// spin box is: the field has the keyboard, so it carries the role, the value, the range and the
// text. The text is one run of attributes over the whole number: a reader that builds the line
// from runs (Orca) reads "500", not the first two digits.
class NumberFieldAccessible : public QAccessibleWidget,
                              public QAccessibleValueInterface,
                              public QAccessibleTextInterface {
public:
    NumberFieldAccessible(QLineEdit* edit, TUpDown* upDown)
        : QAccessibleWidget(edit, QAccessible::SpinBox), upDown_(upDown)
    {
    }

    QLineEdit* edit() const { return static_cast<QLineEdit*>(widget()); }
    TUpDown* upDown() const { return upDown_; }

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return !edit()->toolTip().isEmpty() ? edit()->toolTip() : upDown()->toolTip();
        if (t == QAccessible::Value)
            return edit()->text();
        return own;
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = !edit()->isReadOnly();
        s.readOnly = edit()->isReadOnly();
        s.selectableText = true;
        return s;
    }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override
    {
        bool ok = false;
        const int shown = edit()->text().toInt(&ok);
        return ok ? shown : upDown()->position();
    }

    // Steps towards the value, so that each step reaches the window as an arrow click would.
    void setCurrentValue(const QVariant& value) override
    {
        const int target = value.toInt();
        for (int guard = upDown()->maximum() - upDown()->minimum(); guard >= 0; --guard) {
            const int now = currentValue().toInt();
            if (now < target && now < upDown()->maximum())
                upDown()->step(TUpDown::btNext);
            else if (now > target && now > upDown()->minimum())
                upDown()->step(TUpDown::btPrev);
            else
                return;
            if (currentValue().toInt() == now)
                return;  // disabled, or no increment
        }
    }

    QVariant maximumValue() const override { return upDown()->maximum(); }
    QVariant minimumValue() const override { return upDown()->minimum(); }
    QVariant minimumStepSize() const override { return upDown()->increment(); }

    QStringList actionNames() const override
    {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action == increaseAction())
            upDown()->step(TUpDown::btNext);
        else if (action == decreaseAction())
            upDown()->step(TUpDown::btPrev);
        else
            QAccessibleWidget::doAction(action);
    }

    void selection(int selectionIndex, int* startOffset, int* endOffset) const override
    {
        *startOffset = *endOffset = 0;
        if (selectionIndex == 0 && edit()->hasSelectedText()) {
            *startOffset = edit()->selectionStart();
            *endOffset = edit()->selectionEnd();
        }
    }
    int selectionCount() const override { return edit()->hasSelectedText() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override { setSelection(0, startOffset, endOffset); }
    void removeSelection(int) override { edit()->deselect(); }
    void setSelection(int, int startOffset, int endOffset) override
    {
        edit()->setSelection(startOffset, endOffset - startOffset);
    }
    int cursorPosition() const override { return edit()->cursorPosition(); }
    void setCursorPosition(int position) override { edit()->setCursorPosition(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return edit()->text().mid(startOffset, endOffset - startOffset);
    }
    int characterCount() const override { return int(edit()->text().size()); }
    QRect characterRect(int offset) const override
    {
        const QString shown = edit()->text();
        if (offset < 0 || offset >= shown.size())
            return {};
        const QFontMetrics metrics(edit()->font());
        const QRect area = edit()->contentsRect();
        const int x = area.left() + metrics.horizontalAdvance(shown.left(offset));
        const QRect local(x, area.top(), metrics.horizontalAdvance(shown.at(offset)), area.height());
        return QRect(edit()->mapToGlobal(local.topLeft()), local.size());
    }
    int offsetAtPoint(const QPoint& point) const override
    {
        return edit()->cursorPositionAt(edit()->mapFromGlobal(point));
    }
    void scrollToSubstring(int, int) override {}
    QString attributes(int offset, int* startOffset, int* endOffset) const override
    {
        *startOffset = 0;
        *endOffset = characterCount();
        if (offset < 0 || offset > *endOffset)
            *startOffset = *endOffset = -1;
        return {};
    }

private:
    TUpDown* upDown_;
};

// The arrows themselves are part of that spin button, not a control of their own: hidden.
class ArrowsAccessible : public QAccessibleWidget {
public:
    explicit ArrowsAccessible(TUpDown* u) : QAccessibleWidget(u, QAccessible::NoRole) {}
    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.invisible = true;
        return s;
    }
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
};

// What ui::Announcer says, as a notification.
class AnnouncerAccessible : public QAccessibleWidget {
public:
    explicit AnnouncerAccessible(Announcer* a) : QAccessibleWidget(a, QAccessible::Notification) {}
    QString text(QAccessible::Text t) const override
    {
        return t == QAccessible::Name ? static_cast<Announcer*>(widget())->text() : QAccessibleWidget::text(t);
    }
};

TUpDown* upDownOf(const QLineEdit* edit)
{
    if (!edit->parentWidget())
        return nullptr;
    for (TUpDown* u : edit->parentWidget()->findChildren<TUpDown*>(Qt::FindDirectChildrenOnly))
        if (u->buddy() == edit)
            return u;
    return nullptr;
}

}  // namespace

QAccessibleInterface* accessibleInterface(const QString& className, QObject* object)
{
    if (auto* u = qobject_cast<TUpDown*>(object))
        return new ArrowsAccessible(u);
    if (auto* a = qobject_cast<Announcer*>(object))
        return new AnnouncerAccessible(a);
    if (auto* edit = qobject_cast<QLineEdit*>(object))
        if (TUpDown* u = upDownOf(edit))
            return new NumberFieldAccessible(edit, u);
    return docking::accessibleInterface(className, object);
}

void installAccessibleInterfaces() { QAccessible::installFactory(&accessibleInterface); }

}  // namespace ui
