#include "ui/UpDown.h"

#include <QAccessible>
#include <QEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QToolButton>
#include <QVBoxLayout>

TUpDown::TUpDown(QWidget* parent) : QWidget(parent), up_(new QToolButton(this)), down_(new QToolButton(this))
{
    up_->setArrowType(Qt::UpArrow);
    down_->setArrowType(Qt::DownArrow);
    for (QToolButton* b : {up_, down_}) {
        b->setAutoRepeat(true);
        b->setFocusPolicy(Qt::NoFocus);
        b->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    }
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(up_);
    layout->addWidget(down_);
    setFixedWidth(16);
    connect(up_, &QToolButton::clicked, this, [this] { step(btNext); });
    connect(down_, &QToolButton::clicked, this, [this] { step(btPrev); });
}

void TUpDown::setRange(int minimum, int maximum)
{
    min_ = minimum;
    max_ = maximum;
    setPosition(position_);
}

void TUpDown::setPosition(int position)
{
    position_ = position < min_ ? min_ : (position > max_ ? max_ : position);
    if (buddy_)
        buddy_->setText(QString::number(position_));
}

void TUpDown::setBuddy(QLineEdit* edit)
{
    buddy_ = edit;
    buddy_->installEventFilter(this);
    // The field and the arrows are one spin button to a screen reader (ui/AccessibleControls):
    // an interface made for the field before it had arrows is dropped, and every new number the
    // field shows, stepped, paged or typed, is announced on the field, which has the keyboard.
    // (Qt makes interfaces for events during construction, reader or not.)
    if (QAccessibleInterface* made = QAccessible::queryAccessibleInterface(edit);
        made && made->role() != QAccessible::SpinBox)
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
    connect(edit, &QLineEdit::textChanged, this, [edit](const QString& text) {
        bool ok = false;
        const int value = text.toInt(&ok);
        if (!ok)
            return;
        QAccessibleValueChangeEvent changed(edit, value);
        QAccessible::updateAccessibility(&changed);
    });
    setPosition(position_);
}

void TUpDown::step(Button button)
{
    if (!isEnabled())
        return;
    int from = position_;
    if (buddy_) {
        bool ok = false;
        const int typed = buddy_->text().toInt(&ok);
        if (ok)
            from = typed < min_ ? min_ : (typed > max_ ? max_ : typed);
    }
    setPosition(button == btNext ? from + increment_ : from - increment_);
    emit clicked(button);
}

bool TUpDown::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == buddy_ && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Up || key == Qt::Key_Down) {
            step(key == Qt::Key_Up ? btNext : btPrev);
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

void TUpDown::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::EnabledChange) {
        up_->setEnabled(isEnabled());
        down_->setEnabled(isEnabled());
    }
    QWidget::changeEvent(event);
}
