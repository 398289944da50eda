#include "ui/Unit5.h"

#include "platform/qt/Cp932.h"
#include "platform/qt/ShellOpen.h"
#include "store/UserId.h"
#include "ui/ScreenCenter.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

const QString TForm5::kWarningText = QStringLiteral("この機能（URLからのジャンプ）はインターネットへの\r\n\r\n"
                                                    "接続環境が必要となります。\r\n\r\n"
                                                    "接続環境が無い場合は動作が無視されます。");

TForm5::TForm5(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(QStringLiteral("ご注意下さい"));
    Label1 = new QLabel(this);
    Label1->setTextFormat(Qt::PlainText);
    CheckBox1 = new QCheckBox(QStringLiteral("次回もこの画面を表示する"), this);
    Button1 = new QPushButton(QStringLiteral("閉じる"), this);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(CheckBox1);
    bottom->addStretch();
    bottom->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label1);
    layout->addSpacing(8);
    layout->addLayout(bottom);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(Button1, &QPushButton::clicked, this, &TForm5::Button1Click);
    // Sized for the text it will show.
    Label1->setText(kWarningText);
    ui::centerOnScreen(this);
}

void TForm5::showEvent(QShowEvent* event)
{
    FormShow();
    QDialog::showEvent(event);
}

void TForm5::FormShow() { Label1->setText(kWarningText); }

void TForm5::Button1Click() { close(); }

namespace ui {

void WarningPlay(QWidget* parent, settings::SettingsRecord& record)
{
    TForm5 dialog(parent);
    dialog.CheckBox1->setChecked(record.browsCSw);
    if (record.browsCSw)
        dialog.exec();
    record.browsCSw = dialog.CheckBox1->isChecked();
}

std::string webAddress(WebPage page, const std::string& dataDir, const settings::SettingsRecord& record)
{
    if (page == WebPage::Tessera)
        return record.tsrPageUrl + store::ReadUserId(dataDir);
    return record.homePageUrl;
}

void jumpToWebPage(WebPage page, const std::string& dataDir, QWidget* parent, settings::SettingsRecord& record)
{
    WarningPlay(parent, record);
    const std::string address = webAddress(page, dataDir, record);
    platform::ShellOpen(platform::fromCp932(address));
}

}  // namespace ui
