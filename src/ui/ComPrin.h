#pragma once
// The print command and its margins dialog TForm2. The main window's print handler hands over the
// view's text, font and text colour; the dialog asks for the margins, and only its OK prints.

#include "settings/SettingsRecord.h"

#include <QColor>
#include <QDialog>
#include <QFont>
#include <QString>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;
class TUpDown;

class TForm2 : public QDialog {
public:
    // Runs the printer setup; the default is Qt's print dialog in its setup role on the current
    // printer. Tests put their own in.
    using PrinterSetup = std::function<void(QWidget* parent)>;

    explicit TForm2(QWidget* parent = nullptr, settings::SettingsRecord& record = settings::Settings(),
                    PrinterSetup printerSetup = {});

    // The key filter of the three margin edits: true when the typed character may go in.
    static bool Edit1KeyPress(QChar key, int textLength, int selectionLength);

    void BitBtn1Click();  // printer setup
    void BitBtn2Click();  // OK: the three positions into the margins

    QLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6;
    QLineEdit *Edit1, *Edit2, *Edit3;
    TUpDown *UpDown1, *UpDown2, *UpDown3;
    QPushButton *BitBtn1, *BitBtn2, *BitBtn3;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void FormCreate();

    settings::SettingsRecord& record_;
    PrinterSetup printerSetup_;
};

namespace ui {

// Qt's print dialog in its setup role on the current printer: printer (or a PDF file), paper and
// orientation. The choice holds for the rest of the run. Until a file has been chosen, the PDF file
// offered is the job's name in the folder Qt offers ("BREVON_COMMENT.pdf").
void runPrinterSetup(QWidget* parent);

// The print command (ToolbarButton3Click): the margins dialog, then on OK the view's text on the
// current printer as the job "BREVON COMMENT". A printer failure goes to the framework's error box
// with its own text. Returns the number of pages printed, 0 when cancelled or failed.
int printComment(QWidget* parent, const QString& viewText, const QFont& viewFont, const QColor& textColor,
                 settings::SettingsRecord& record = settings::Settings(),
                 const TForm2::PrinterSetup& printerSetup = {});

}  // namespace ui
