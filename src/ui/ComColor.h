#pragma once
// The colour settings dialog: text and background of the heading (the comment list) and of the
// body (the comment view), edited as working copies on two sample panels; only OK makes them the
// program's colours.

#include "settings/SettingsRecord.h"

#include <QColor>
#include <QDialog>

#include <functional>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class QTabWidget;

class TForm3 : public QDialog {
public:
    // Asks the user for a colour, opening on `initial`; nullopt when the user cancels. The default
    // is Qt's colour dialog; tests put their own in.
    using ColorChooser = std::function<std::optional<QColor>(QWidget* parent, const QColor& initial)>;

    explicit TForm3(QWidget* parent = nullptr, settings::SettingsRecord& record = settings::Settings(),
                    ColorChooser chooser = {});

    void Button1Click(QObject* sender);  // shared by Button1..Button4, told apart by their Tag
    void BitBtn1Click();                 // OK
    void BitBtn3Click();                 // help

    // The working copies, as they would be stored.
    settings::ColorValue titleBack() const { return titleBack_; }
    settings::ColorValue titleFont() const { return titleFont_; }
    settings::ColorValue mainBack() const { return mainBack_; }
    settings::ColorValue mainFont() const { return mainFont_; }

    QTabWidget* PageControl1;
    QWidget* TabSheet1;
    QLabel *Label1, *Label2, *Label3, *Label4;
    QFrame *Panel1, *Panel2;
    QPushButton *Button1, *Button2, *Button3, *Button4;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;

    static const QString kSampleBodyText;  // two lines joined by a lone CR

private:
    void FormCreate();
    void showWorkingCopies();

    settings::SettingsRecord& record_;
    ColorChooser chooser_;
    // Kept as values, so a colour nobody touched goes back in its system form.
    settings::ColorValue titleBack_ = 0, titleFont_ = 0, mainBack_ = 0, mainFont_ = 0;
    QColor lastChosen_{Qt::black};
};

namespace ui {

// Qt's colour dialog in its basic form.
std::optional<QColor> chooseColor(QWidget* parent, const QColor& initial);

// NColorClick's dialog part: true when the user pressed OK and the four colours in `record` are new.
// The main window then applies them to the list and the view and shows the current comment again.
bool runColorDialog(QWidget* parent, settings::SettingsRecord& record = settings::Settings(),
                    const TForm3::ColorChooser& chooser = {});

}  // namespace ui
