#include "ui/AccessibleControls.h"

#include "docking/DockingAccessible.h"
#include "ui/UpDown.h"

#include <QAccessibleWidget>
#include <QLineEdit>

namespace ui {

namespace {

// The arrows and the number beside them are one spin button to a screen reader: its value is the
// number the buddy shows, and its actions step as the arrows do (so the window follows the change).
class UpDownAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit UpDownAccessible(TUpDown* u) : QAccessibleWidget(u, QAccessible::SpinBox) {}

    TUpDown* upDown() const { return static_cast<TUpDown*>(widget()); }

    QString text(QAccessible::Text t) const override
    {
        QString own = QAccessibleWidget::text(t);
        if (t == QAccessible::Name && own.isEmpty())
            return nameFromSurroundings();
        if (t == QAccessible::Value)
            return currentValue().toString();
        return own;
    }

    // Without a name of its own or a group around it, the tooltip; else whatever names the number
    // it moves (a label whose buddy is the edit).
    QString nameFromSurroundings() const
    {
        if (!upDown()->toolTip().isEmpty())
            return upDown()->toolTip();
        QLineEdit* buddy = upDown()->buddy();
        QAccessibleInterface* edit = buddy ? QAccessible::queryAccessibleInterface(buddy) : nullptr;
        return edit ? edit->text(QAccessible::Name) : QString();
    }

    // The arrow buttons are parts of the spin button, not controls of their own.
    int childCount() const override { return 0; }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }

    void* interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface*>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QVariant currentValue() const override
    {
        if (QLineEdit* buddy = upDown()->buddy()) {
            bool ok = false;
            const int shown = buddy->text().toInt(&ok);
            if (ok)
                return shown;
        }
        return upDown()->position();
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
};

}  // namespace

QAccessibleInterface* accessibleInterface(const QString& className, QObject* object)
{
    if (auto* u = qobject_cast<TUpDown*>(object))
        return new UpDownAccessible(u);
    return docking::accessibleInterface(className, object);
}

void installAccessibleInterfaces() { QAccessible::installFactory(&accessibleInterface); }

}  // namespace ui
