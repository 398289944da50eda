#pragma once
// Jumps to the vendor's web pages: the connection warning dialog, the address (with the user ID
// from USER_ID.DAT, store::ReadUserId) handed to the desktop's browser.

#include "settings/SettingsRecord.h"

#include <QDialog>
#include <QString>

#include <string>

class QCheckBox;
class QLabel;
class QPushButton;

class TForm5 : public QDialog {
public:
    explicit TForm5(QWidget* parent = nullptr);

    void Button1Click();  // closes the dialog

    QLabel* Label1;
    QCheckBox* CheckBox1;  // ticked: show the warning again next time
    QPushButton* Button1;

    static const QString kWarningText;  // three lines, an empty line between each two (CR LF)

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
};

namespace ui {

// The warning step before a jump: shows TForm5 while the show-warning flag is on and takes the
// flag from its check box, however the dialog was closed.
void WarningPlay(QWidget* parent = nullptr, settings::SettingsRecord& record = settings::Settings());

enum class WebPage {
    Tessera,  // the user's page on the stock web service (tesseraPageGo)
    Home,     // the suite's home page (ToolbarButton7)
};

// The address of a page as stored bytes: TSRPageURL followed directly by the user ID (read anew,
// nothing escaped), or HomePageURL. Only the service page reads USER_ID.DAT.
std::string webAddress(WebPage page, const std::string& dataDir,
                       const settings::SettingsRecord& record = settings::Settings());

// tesseraPageGoClick without the sender: the warning step, then the page's address handed to the
// desktop's URL opener. Nothing is reported, whatever the outcome.
void jumpToWebPage(WebPage page, const std::string& dataDir, QWidget* parent = nullptr,
                   settings::SettingsRecord& record = settings::Settings());

}  // namespace ui
