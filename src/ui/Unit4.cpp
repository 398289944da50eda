#include "ui/Unit4.h"

#include "ui/DigitField.h"
#include "ui/FrameworkError.h"
#include "ui/ScreenCenter.h"
#include "ui/UpDown.h"

#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QEvent>
#include <QFocusEvent>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionGroupBox>

#include <algorithm>

namespace {

// The groups stand 49 pixels apart; the buttons below the last.
constexpr int kGroupPitch = 49;
constexpr int kButtonsTop = 4 + store::kCategoryCount * kGroupPitch + 8;

QPushButton* makeButton(const QString& text, QWidget* parent, int x, int y)
{
    auto* button = new QPushButton(text, parent);
    // None of them is the dialog's default button: Enter must not close it.
    button->setAutoDefault(false);
    button->setDefault(false);
    button->setGeometry(x, y, 89, 25);
    return button;
}

}  // namespace

TForm4::TForm4(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ＡＬＬ保存実行時の各種コメントの保存設定"));
    setFixedSize(304, kButtonsTop + 35);
    for (int i = 0; i < store::kCategoryCount; ++i) {
        const QString n = QString::number(i + 1);
        const store::CategoryInfo& category = store::categoryInfo(i);
        auto* box = new QGroupBox(QString::fromUtf8(category.groupCaptionUtf8), this);
        box->setObjectName(QString::fromLatin1(category.groupBoxName));
        box->setGeometry(8, 4 + i * kGroupPitch, 289, 45);
        auto* edit = new QLineEdit(QStringLiteral("10"), box);
        edit->setObjectName(QStringLiteral("Edit") + n);
        edit->setGeometry(16, 16, 41, 21);
        edit->installEventFilter(this);
        ui::disableInputMethod(edit);
        auto* upDown = new TUpDown(box);
        upDown->setObjectName(QStringLiteral("UpDown") + n);
        upDown->setGeometry(57, 16, 16, 21);
        upDown->setRange(10, 500);
        upDown->setIncrement(1);
        upDown->setBuddy(edit);
        upDown->setPosition(10);
        upDown->tag = i;
        auto* label = new QLabel(QStringLiteral("件以上は削除する"), box);
        label->setObjectName(QStringLiteral("Label") + n);
        label->setGeometry(80, 19, 120, 16);
        auto* check = new QCheckBox(box);
        check->setObjectName(QStringLiteral("CheckBox") + n);
        check->setGeometry(256, 18, 17, 17);
        check->setChecked(true);
        connect(check, &QCheckBox::toggled, this, [this, i] { CheckBox1Click(i); });
        // Alone, the check box has no text and the field no caption: both are named after their
        // group, so a screen reader tells which kind of comment they limit.
        check->setAccessibleName(box->title() + QLatin1Char(' ') + label->text());
        edit->setAccessibleName(box->title() + QStringLiteral(" 件数"));
        edit->setAccessibleDescription(label->text());
        edit->setProperty("tag", i);
        check->setProperty("tag", i);
        GroupBox[i] = box;
        Edit[i] = edit;
        UpDown[i] = upDown;
        Label[i] = label;
        CheckBox[i] = check;
    }
    BitBtn2 = makeButton(QStringLiteral("OK"), this, 16, kButtonsTop);
    BitBtn3 = makeButton(QStringLiteral("ｷｬﾝｾﾙ"), this, 112, kButtonsTop);
    BitBtn1 = makeButton(QStringLiteral("ヘルプ"), this, 208, kButtonsTop);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn3->setObjectName(QStringLiteral("BitBtn3"));
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::accept);
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        if (onHelp)
            onHelp();
    });
    fitGroupsToCaptions();
    ui::centerOnScreen(this);
}

// The designed places assume a caption drawn across the frame's top line; the styles here draw the
// frame below the caption, and a Japanese caption stands taller than the places were measured
// for. Each group's controls go below its caption and frame line, and the groups, the buttons and
// the dialog grow by as much.
void TForm4::fitGroupsToCaptions()
{
    constexpr int kDesignedTop = 16;  // the designed top of a group's highest control
    constexpr int kGap = 2;
    int shift = 0;
    for (QGroupBox* box : GroupBox) {
        QStyleOptionGroupBox option;
        option.initFrom(box);
        option.text = box->title();
        option.textAlignment = box->alignment();
        option.lineWidth = 1;
        option.subControls = QStyle::SC_GroupBoxFrame | QStyle::SC_GroupBoxLabel;
        QStyle* style = box->style();
        const QRect label = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxLabel, box);
        const QRect contents = style->subControlRect(QStyle::CC_GroupBox, &option, QStyle::SC_GroupBoxContents, box);
        // The caption's ink, which a fallback font for the Japanese letters may carry below the label.
        const QRect ink = box->fontMetrics().boundingRect(label, int(Qt::AlignLeft | Qt::AlignVCenter), box->title());
        shift = std::max(shift, std::max({label.bottom(), ink.bottom(), contents.top()}) + kGap - kDesignedTop);
    }
    const int delta = shift - groupShift_;
    if (delta == 0)
        return;
    groupShift_ = shift;
    const int groups = static_cast<int>(GroupBox.size());
    for (int i = 0; i < groups; ++i) {
        QGroupBox* box = GroupBox[static_cast<std::size_t>(i)];
        box->setGeometry(box->x(), 4 + i * (49 + shift), box->width(), 45 + shift);
        for (QWidget* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            child->move(child->x(), child->y() + delta);
    }
    for (QPushButton* button : {BitBtn2, BitBtn3, BitBtn1})
        button->move(button->x(), button->y() + groups * delta);
    setFixedSize(width(), height() + groups * delta);
}

int TForm4::tagOf(QObject* object) const { return object->property("tag").toInt(); }

bool TForm4::FilterKey(const QLineEdit* edit, QChar key, int maxLength, const QString& allowed)
{
    return FilterKey(key, static_cast<int>(edit->text().size()), static_cast<int>(edit->selectedText().size()),
                     maxLength, allowed);
}

bool TForm4::FilterKey(QChar key, int textLength, int selectionLength, int maxLength, const QString& allowed)
{
    if (ui::isControlCharacter(key))
        return true;
    return allowed.contains(key) && textLength - selectionLength < maxLength;
}

void TForm4::CheckBox1Click(int tag)
{
    const bool on = CheckBox[tag]->isChecked();
    Edit[tag]->setEnabled(on);
    UpDown[tag]->setEnabled(on);
    Label[tag]->setEnabled(on);
}

void TForm4::clamp(int tag)
{
    QLineEdit* edit = Edit[tag];
    if (edit->text().isEmpty())
        edit->setText(QStringLiteral("10"));
    if (ui::toInteger(edit->text()) < 10)
        edit->setText(QStringLiteral("10"));
    if (ui::toInteger(edit->text()) > 500)
        edit->setText(QStringLiteral("500"));
}

void TForm4::Edit1KeyDown(int tag, int key)
{
    QLineEdit* edit = Edit[tag];
    if (key == Qt::Key_PageUp) {
        const int v = ui::toInteger(edit->text());
        edit->setText(v + 10 >= 500 ? QStringLiteral("500") : QString::number(v + 10));
    } else if (key == Qt::Key_PageDown) {
        const int v = ui::toInteger(edit->text());
        edit->setText(v - 10 > 10 ? QString::number(v - 10) : QStringLiteral("10"));
    } else if (key == Qt::Key_Return || key == Qt::Key_Enter) {
        clamp(tag);
    }
}

void TForm4::Edit1Exit(int tag) { clamp(tag); }

bool TForm4::eventFilter(QObject* watched, QEvent* event)
{
    auto* edit = qobject_cast<QLineEdit*>(watched);
    if (!edit)
        return QDialog::eventFilter(watched, event);
    const int tag = tagOf(edit);
    try {
        if (event->type() == QEvent::KeyPress) {
            auto* key = static_cast<QKeyEvent*>(event);
            Edit1KeyDown(tag, key->key());
            const QString text = key->text();
            if (text.size() == 1 && !FilterKey(edit, text.front(), 3, QStringLiteral("0123456789")))
                return true;  // the typed character is discarded
        } else if (event->type() == QEvent::InputMethod) {
            ui::filterCommittedText(static_cast<QInputMethodEvent*>(event), edit,
                                    [](QChar c, int length, int selection) {
                                        return FilterKey(c, length, selection, 3, QStringLiteral("0123456789"));
                                    });
        } else if (event->type() == QEvent::FocusOut) {
            // The focus moving on to another control (or OK) is the exit; the edit's context menu
            // or another window taking it only for a while is not: the user comes back to finish
            // the edit (an emptied field about to get a pasted number must stay empty).
            const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
            if (reason != Qt::PopupFocusReason && reason != Qt::ActiveWindowFocusReason)
                Edit1Exit(tag);
        }
    } catch (const ui::ConvertError& e) {
        ui::showFrameworkError(this, e.message());
    }
    return QDialog::eventFilter(watched, event);
}

void TForm4::keyPressEvent(QKeyEvent* event)
{
    // No button is the dialog's cancel button: Esc does not close it, nor does Enter.
    if (event->key() == Qt::Key_Escape || event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TForm4::showEvent(QShowEvent* event)
{
    fitGroupsToCaptions();  // the fonts and the style are final now
    QDialog::showEvent(event);
    // The window's activation gives the first field the focus without selecting its text, so the
    // first digit typed would be refused after "500"; selected, as Tab leaves a field, it replaces it.
    QWidget* first = this;
    do
        first = first->nextInFocusChain();
    while (first != this && !(first->isEnabled() && first->isVisibleTo(this) && (first->focusPolicy() & Qt::TabFocus)));
    if (first == this)
        return;
    first->setFocus(Qt::TabFocusReason);
    if (auto* edit = qobject_cast<QLineEdit*>(first))
        edit->selectAll();
    else if (auto* spin = qobject_cast<QAbstractSpinBox*>(first))
        spin->selectAll();
}
