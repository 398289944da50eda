#include "ui/ComColor.h"

#include "platform/qt/WinHelp.h"
#include "ui/ColorValue.h"
#include "ui/ScreenCenter.h"

#include <QApplication>
#include <QColorDialog>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>

namespace {

constexpr unsigned long kHelpContext = 56;
constexpr char kTag[] = "Tag";

// A sample shows a pair as the main window shows it, the desktop's view colours for the defaults.
void showSample(QWidget* panel, QLabel* label, settings::ColorValue background, settings::ColorValue text)
{
    const ui::ViewColors colors = ui::effectiveColors(background, text, QApplication::palette());
    QPalette back = panel->palette();
    back.setColor(QPalette::Window, colors.background);
    panel->setPalette(back);
    QPalette fore = label->palette();
    fore.setColor(QPalette::WindowText, colors.text);
    label->setPalette(fore);
}

QFrame* makePanel(QWidget* parent)
{
    auto* panel = new QFrame(parent);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    return panel;
}

}  // namespace

using ui::valueFromColor;

const QString TForm3::kSampleBodyText = QStringLiteral("今週の日経平均終値は00000円 前週末比") + QChar(u'\r') +
                                        QStringLiteral("主要国で一番強かったのは米国で戻り率");

TForm3::TForm3(QWidget* parent, settings::SettingsRecord& record, ColorChooser chooser)
    : QDialog(parent), record_(record), chooser_(chooser ? std::move(chooser) : ColorChooser(ui::chooseColor))
{
    setWindowTitle(QStringLiteral("配色設定"));

    PageControl1 = new QTabWidget(this);
    TabSheet1 = new QWidget;
    PageControl1->addTab(TabSheet1, QStringLiteral("配色"));

    Label1 = new QLabel(QStringLiteral("見出し"), TabSheet1);
    Panel1 = makePanel(TabSheet1);
    Label3 = new QLabel(QStringLiteral("《Brevonコメント情報》"), Panel1);
    Button1 = new QPushButton(QStringLiteral("文字色"), TabSheet1);
    Button2 = new QPushButton(QStringLiteral("背景色"), TabSheet1);

    Label2 = new QLabel(QStringLiteral("本文"), TabSheet1);
    Panel2 = makePanel(TabSheet1);
    Label4 = new QLabel(Panel2);
    // The sample breaks into its two lines by its fixed width, as the lone CR does not break a line.
    Label4->setWordWrap(true);

    auto* panel1Layout = new QHBoxLayout(Panel1);
    panel1Layout->addWidget(Label3);
    auto* panel2Layout = new QHBoxLayout(Panel2);
    panel2Layout->addWidget(Label4);

    auto* rows = new QGridLayout(TabSheet1);
    rows->addWidget(Label1, 0, 0, 1, 3);
    rows->addWidget(Panel1, 1, 0, 2, 1);
    rows->addWidget(Button1, 1, 1);
    rows->addWidget(Button2, 2, 1);
    rows->addWidget(Label2, 3, 0, 1, 3);
    rows->addWidget(Panel2, 4, 0, 2, 1);
    rows->addWidget(Button3 = new QPushButton(QStringLiteral("文字色"), TabSheet1), 4, 1);
    rows->addWidget(Button4 = new QPushButton(QStringLiteral("背景色"), TabSheet1), 5, 1);
    rows->setColumnStretch(0, 1);

    BitBtn1 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn2 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    BitBtn3 = new QPushButton(QStringLiteral("ヘルプ"), this);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(BitBtn1);
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(PageControl1);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    // Two buttons of each caption: a screen reader tells them apart by the part they colour.
    for (QPushButton* button : {Button1, Button2})
        button->setAccessibleName(Label1->text() + QLatin1Char(' ') + button->text());
    for (QPushButton* button : {Button3, Button4})
        button->setAccessibleName(Label2->text() + QLatin1Char(' ') + button->text());

    int tag = 1;
    for (QPushButton* button : {Button1, Button2, Button3, Button4}) {
        button->setProperty(kTag, tag++);
        connect(button, &QPushButton::clicked, this, [this, button] { Button1Click(button); });
    }
    connect(BitBtn1, &QPushButton::clicked, this, [this] {
        BitBtn1Click();
        accept();
    });
    connect(BitBtn2, &QPushButton::clicked, this, &QDialog::reject);
    connect(BitBtn3, &QPushButton::clicked, this, &TForm3::BitBtn3Click);

    FormCreate();
    // Wide enough for either sample line, not both: the body sample shows as two lines.
    const QFontMetrics metrics(Label4->font());
    Label4->setFixedSize(metrics.horizontalAdvance(kSampleBodyText.section(u'\r', 0, 0)) + 8,
                         metrics.lineSpacing() * 2 + 4);
    ui::centerOnScreen(this);
}

void TForm3::FormCreate()
{
    Label4->setText(kSampleBodyText);
    titleBack_ = record_.clTitleBack;
    titleFont_ = record_.clTitleFont;
    mainBack_ = record_.clMainBack;
    mainFont_ = record_.clMainFont;
    showWorkingCopies();
}

void TForm3::showWorkingCopies()
{
    showSample(Panel1, Label3, titleBack_, titleFont_);
    showSample(Panel2, Label4, mainBack_, mainFont_);
}

void TForm3::Button1Click(QObject* sender)
{
    // The chooser opens on the last colour picked in this dialog, not on the one being changed.
    const std::optional<QColor> chosen = chooser_(this, lastChosen_);
    if (!chosen || !chosen->isValid())
        return;
    lastChosen_ = *chosen;
    const settings::ColorValue value = valueFromColor(*chosen);
    switch (sender ? sender->property(kTag).toInt() : 0) {
    case 1: titleFont_ = value; break;
    case 2: titleBack_ = value; break;
    case 3: mainFont_ = value; break;
    default: mainBack_ = value; break;
    }
    showWorkingCopies();
}

void TForm3::BitBtn1Click()
{
    record_.clTitleBack = titleBack_;
    record_.clTitleFont = titleFont_;
    record_.clMainBack = mainBack_;
    record_.clMainFont = mainFont_;
}

void TForm3::BitBtn3Click() { platform::WinHelp(platform::HELP_CONTEXT, kHelpContext); }

namespace ui {

std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial)
{
    const QColor color = QColorDialog::getColor(initial, parent);
    if (!color.isValid())
        return std::nullopt;
    return color;
}

bool runColorDialog(QWidget* parent, settings::SettingsRecord& record, const TForm3::ColorChooser& chooser)
{
    TForm3 dialog(parent, record, chooser);
    return dialog.exec() == QDialog::Accepted;
}

}  // namespace ui
