#include "ui/ComPrin.h"

#include "print/CurrentPrinter.h"
#include "print/PageLoop.h"
#include "ui/DigitField.h"
#include "ui/FrameworkError.h"
#include "ui/ScreenCenter.h"
#include "ui/UpDown.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace {

QFont fixedPitchFont(QFont font)
{
    font.setFamilies({QStringLiteral("ＭＳ ゴシック"), QStringLiteral("monospace")});
    font.setStyleHint(QFont::TypeWriter);
    return font;
}

// The up-down's position as the user sees it: typed text counts once it is a number.
int positionOf(TUpDown* upDown)
{
    bool ok = false;
    const int typed = upDown->buddy()->text().toInt(&ok);
    if (ok)
        upDown->setPosition(typed);
    return upDown->position();
}

struct WaitCursor {
    WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
    ~WaitCursor() { QApplication::restoreOverrideCursor(); }
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
};

}  // namespace

TForm2::TForm2(QWidget* parent, settings::SettingsRecord& record, PrinterSetup printerSetup)
    : QDialog(parent), record_(record),
      printerSetup_(printerSetup ? std::move(printerSetup) : PrinterSetup(ui::runPrinterSetup))
{
    setWindowTitle(QStringLiteral("印刷"));

    auto* grid = new QGridLayout;
    grid->setHorizontalSpacing(6);
    const QFont editFont = fixedPitchFont(font());
    const auto makeRow = [&](int row, const QString& caption, QLabel*& label, QLineEdit*& edit, TUpDown*& upDown,
                             QLabel*& unit) {
        label = new QLabel(caption, this);
        edit = new QLineEdit(this);
        edit->setFont(editFont);
        edit->setFixedWidth(QFontMetrics(editFont).horizontalAdvance(QStringLiteral("0000")) + 12);
        edit->installEventFilter(this);
        ui::disableInputMethod(edit);
        upDown = new TUpDown(this);
        upDown->setRange(0, 999);
        upDown->setIncrement(1);
        upDown->setBuddy(edit);
        upDown->setFixedHeight(edit->sizeHint().height());
        unit = new QLabel(QStringLiteral("ﾐﾘﾒｰﾄﾙ"), this);
        // A screen reader names the field by its caption and tells the unit after it.
        label->setBuddy(edit);
        edit->setAccessibleDescription(unit->text());
        auto* spin = new QHBoxLayout;
        spin->setSpacing(0);
        spin->addWidget(edit);
        spin->addWidget(upDown);
        grid->addWidget(label, row, 0);
        grid->addLayout(spin, row, 1);
        grid->addWidget(unit, row, 2);
    };
    makeRow(0, QStringLiteral("上マージン"), Label1, Edit1, UpDown1, Label4);
    makeRow(1, QStringLiteral("下マージン"), Label2, Edit2, UpDown2, Label5);
    makeRow(2, QStringLiteral("左マージン"), Label3, Edit3, UpDown3, Label6);

    BitBtn2 = new QPushButton(QStringLiteral("OK"), this);
    BitBtn3 = new QPushButton(QStringLiteral("ｷｬﾝｾﾙ"), this);
    BitBtn1 = new QPushButton(QStringLiteral("ﾌﾟﾘﾝﾀの設定"), this);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(BitBtn2);
    buttons->addWidget(BitBtn3);
    buttons->addSpacing(8);
    buttons->addWidget(BitBtn1);
    buttons->addStretch();

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(grid);
    layout->addSpacing(12);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);

    connect(BitBtn1, &QPushButton::clicked, this, &TForm2::BitBtn1Click);
    connect(BitBtn2, &QPushButton::clicked, this, [this] {
        BitBtn2Click();
        accept();
    });
    connect(BitBtn3, &QPushButton::clicked, this, &QDialog::reject);

    setTabOrder(BitBtn2, BitBtn3);
    setTabOrder(BitBtn3, BitBtn1);
    setTabOrder(BitBtn1, Edit1);
    setTabOrder(Edit1, Edit2);
    setTabOrder(Edit2, Edit3);
    BitBtn2->setFocus();

    FormCreate();
    ui::centerOnScreen(this);
}

void TForm2::FormCreate()
{
    UpDown1->setPosition(record_.pageTop);
    UpDown2->setPosition(record_.pageBottom);
    UpDown3->setPosition(record_.pageLeft);
}

bool TForm2::Edit1KeyPress(QChar key, int textLength, int selectionLength)
{
    if (ui::isControlCharacter(key))
        return true;
    const int kept = std::max(0, textLength - selectionLength);
    return key >= u'0' && key <= u'9' && kept < 3;
}

bool TForm2::eventFilter(QObject* watched, QEvent* event)
{
    if (watched != Edit1 && watched != Edit2 && watched != Edit3)
        return QDialog::eventFilter(watched, event);
    const auto* edit = static_cast<QLineEdit*>(watched);
    if (event->type() == QEvent::KeyPress) {
        const QString typed = static_cast<QKeyEvent*>(event)->text();
        // Keys without a character (arrows, function keys) are not typing; they pass.
        if (!typed.isEmpty() && !Edit1KeyPress(typed.at(0), int(edit->text().size()), int(edit->selectedText().size())))
            return true;
    } else if (event->type() == QEvent::InputMethod) {
        ui::filterCommittedText(static_cast<QInputMethodEvent*>(event), edit, &TForm2::Edit1KeyPress);
    }
    return QDialog::eventFilter(watched, event);
}

void TForm2::BitBtn1Click() { printerSetup_(this); }

void TForm2::BitBtn2Click()
{
    record_.pageTop = positionOf(UpDown1);
    record_.pageBottom = positionOf(UpDown2);
    record_.pageLeft = positionOf(UpDown3);
}

namespace ui {

namespace {

// Qt offers a folder (home, or the current one) as the PDF file, and its OK then refuses it as a
// directory.
void proposeOutputFile(QPrintDialog& dialog)
{
    auto* edit = dialog.findChild<QLineEdit*>(QStringLiteral("filename"));
    if (!edit || !dialog.printer()->outputFileName().isEmpty())
        return;  // a file chosen earlier in this run stays
    const QString offered = edit->text();
    QString folder = offered.endsWith(u'/') || QFileInfo(offered).isDir() ? offered : QFileInfo(offered).path();
    if (folder.isEmpty() || folder == QStringLiteral("."))
        folder = QDir::homePath();
    if (!folder.endsWith(u'/'))
        folder += u'/';
    edit->setText(folder + QString::fromLatin1(print::kJobName).replace(u' ', u'_') + QStringLiteral(".pdf"));
}

}  // namespace

void runPrinterSetup(QWidget* parent)
{
    QPrintDialog dialog(&print::currentPrinter(), parent);
    proposeOutputFile(dialog);
    dialog.setWindowTitle(QStringLiteral("ﾌﾟﾘﾝﾀの設定"));
    // Setup role: where and on what paper; what to print is always the whole comment.
    dialog.setOptions(QAbstractPrintDialog::PrintToFile | QAbstractPrintDialog::PrintShowPageSize);
    // Confirming the setup prints nothing yet.
    if (auto* box = dialog.findChild<QDialogButtonBox*>())
        if (QPushButton* ok = box->button(QDialogButtonBox::Ok))
            ok->setText(QStringLiteral("OK"));
    dialog.exec();
}

int printComment(QWidget* parent, const QString& viewText, const QFont& viewFont, const QColor& textColor,
                 settings::SettingsRecord& record, const TForm2::PrinterSetup& printerSetup)
{
    TForm2 dialog(parent, record, printerSetup);
    if (dialog.exec() != QDialog::Accepted)
        return 0;
    try {
        WaitCursor busy;
        return print::printText(print::currentPrinter(), viewText, viewFont, textColor,
                                print::Margins{record.pageTop, record.pageBottom, record.pageLeft});
    } catch (const print::PrintError& error) {
        showFrameworkError(parent, QString::fromUtf8(error.what()));
        return 0;
    }
}

}  // namespace ui
