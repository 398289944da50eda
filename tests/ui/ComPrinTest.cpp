#include "print/CurrentPrinter.h"
#include "print/PageLoop.h"
#include "print/PdfProbe.h"
#include "ui/ComColor.h"
#include "ui/ComPrin.h"
#include "ui/FrameworkError.h"
#include "ui/Unit4.h"
#include "ui/UpDown.h"
#include "support/TestApplication.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialogButtonBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageLayout>
#include <QPrintDialog>
#include <QPrinter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>

namespace {

QApplication& app()
{
    // No print server: what "no printer installed" looks like, whatever the machine has.
    static const bool isolated = setenv("CUPS_SERVER", "/nonexistent/brevon-test/cups.sock", 1) == 0;
    (void)isolated;
    return testsupport::app();
}

// Acts on the modal dialog of type D once its event loop runs.
template <typename D> void whenModal(std::function<void(D&)> act)
{
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer, act] {
        if (auto* dialog = dynamic_cast<D*>(QApplication::activeModalWidget())) {
            timer->stop();
            timer->deleteLater();
            act(*dialog);
        }
    });
    timer->start(10);
}

// What choosing "print to file (PDF)" in the printer setup leaves behind.
void choosePdfFile(const QString& file)
{
    QPrinter& printer = print::currentPrinter();
    printer.setOutputFormat(QPrinter::PdfFormat);
    printer.setOutputFileName(file);
    printer.setPageSize(QPageSize(QPageSize::A4));
    printer.setPageOrientation(QPageLayout::Portrait);
}

QFont testFont()
{
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setPointSize(12);
    return font;
}

class ComPrinTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(dir.isValid());
        dir.setAutoRemove(!qEnvironmentVariableIsSet("PRINT_KEEP"));  // to look at the PDFs
        record = settings::SettingsRecord{};
        ui::setFrameworkErrorHandler([this](const QString& message) { errors << message; });
    }
    void TearDown() override { ui::setFrameworkErrorHandler({}); }

    // The whole command with OK pressed, printing into `file` chosen through the setup button.
    int printToPdf(const QString& text, const QString& file, const QColor& color = Qt::black)
    {
        whenModal<TForm2>([](TForm2& d) {
            d.BitBtn1->click();
            d.BitBtn2->click();
        });
        return ui::printComment(nullptr, text, testFont(), color, record, [file](QWidget*) { choosePdfFile(file); });
    }

    // Where text printed at the given margins starts, in points from the page's corner: the
    // printable area's corner plus the margin in whole dots, through twips and back.
    static double marginPoints(int mm)
    {
        const int dpi = print::currentPrinter().resolution();
        const int dots = int(std::lround(dpi / 25.4 * mm));
        const int twips = dots * 1440 / dpi;
        return twips / 1440.0 * 72.0;
    }

    QTemporaryDir dir;
    settings::SettingsRecord record;
    QStringList errors;
};

}  // namespace

TEST_F(ComPrinTest, TheDialogsFieldsAreNamedForAScreenReader)
{
    auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    TForm2 margins(nullptr, record);
    EXPECT_EQ(name(margins.Edit1), QStringLiteral("上マージン"));
    EXPECT_EQ(name(margins.Edit2), QStringLiteral("下マージン"));
    EXPECT_EQ(name(margins.Edit3), QStringLiteral("左マージン"));

    TForm4 retention;
    EXPECT_EQ(name(retention.CheckBox[0]), QStringLiteral("連絡コメント 件以上は削除する"));
    EXPECT_EQ(name(retention.CheckBox[3]), QStringLiteral("決算修正率コメント 件以上は削除する"));
    EXPECT_EQ(name(retention.Edit[1]), QStringLiteral("マーケット速報 件数"));

    TForm3 colours(nullptr, record);
    EXPECT_EQ(name(colours.Button1), QStringLiteral("見出し 文字色"));
    EXPECT_EQ(name(colours.Button2), QStringLiteral("見出し 背景色"));
    EXPECT_EQ(name(colours.Button3), QStringLiteral("本文 文字色"));
    EXPECT_EQ(name(colours.Button4), QStringLiteral("本文 背景色"));
}

TEST_F(ComPrinTest, DialogShowsTheMarginsInItsThreeFieldsAndTabsFromOk)
{
    record.pageTop = 12;
    record.pageBottom = 0;
    record.pageLeft = 2000;  // an edited store: the up-down keeps to 0..999
    TForm2 form(nullptr, record);
    EXPECT_EQ(form.Edit1->text(), QStringLiteral("12"));
    EXPECT_EQ(form.Edit2->text(), QStringLiteral("0"));
    EXPECT_EQ(form.Edit3->text(), QStringLiteral("999"));
    for (TUpDown* upDown : {form.UpDown1, form.UpDown2, form.UpDown3}) {
        EXPECT_EQ(upDown->minimum(), 0);
        EXPECT_EQ(upDown->maximum(), 999);
    }

    // Tab order: OK, Cancel, printer setup, then the edits top to bottom, and round again.
    const auto nextTabStop = [&](QWidget* w) {
        do
            w = w->nextInFocusChain();
        while (!(w->focusPolicy() & Qt::TabFocus) || !w->isVisibleTo(&form));
        return w;
    };
    QWidget* order[] = {form.BitBtn2, form.BitBtn3, form.BitBtn1, form.Edit1, form.Edit2, form.Edit3, form.BitBtn2};
    for (int i = 0; i + 1 < 7; ++i)
        EXPECT_EQ(nextTabStop(order[i]), order[i + 1]) << "after stop " << i;
}

TEST_F(ComPrinTest, KeyFilterTakesAtMostThreeDigitsAndLetsControlCharactersThrough)
{
    EXPECT_TRUE(TForm2::Edit1KeyPress(u'\b', 3, 0));
    EXPECT_TRUE(TForm2::Edit1KeyPress(QChar(0x16), 3, 0));  // Ctrl+V
    EXPECT_FALSE(TForm2::Edit1KeyPress(u'a', 0, 0));
    EXPECT_FALSE(TForm2::Edit1KeyPress(u'-', 0, 0));
    EXPECT_FALSE(TForm2::Edit1KeyPress(u'１', 0, 0));  // a full-width digit is no digit here
    EXPECT_TRUE(TForm2::Edit1KeyPress(u'9', 2, 0));
    EXPECT_FALSE(TForm2::Edit1KeyPress(u'9', 3, 0));
    EXPECT_TRUE(TForm2::Edit1KeyPress(u'9', 3, 1));
    EXPECT_TRUE(TForm2::Edit1KeyPress(u'9', 3, 3));

    // The same through the real edit, key by key.
    TForm2 form(nullptr, record);
    QLineEdit* edit = form.Edit2;
    edit->clear();
    QTest::keyClicks(edit, QStringLiteral("a1b2"));
    EXPECT_EQ(edit->text(), QStringLiteral("12"));
    QTest::keyClicks(edit, QStringLiteral("34"));
    EXPECT_EQ(edit->text(), QStringLiteral("123"));
    edit->setSelection(1, 1);
    QTest::keyClick(edit, Qt::Key_7);
    EXPECT_EQ(edit->text(), QStringLiteral("173"));
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("13"));
    // Arrow keys are no typing: the up-down steps from the typed value.
    QTest::keyClick(edit, Qt::Key_Up);
    EXPECT_EQ(edit->text(), QStringLiteral("14"));
}

// X11 sends DEL with the Delete key, and a Japanese input method commits text instead of keys.
TEST_F(ComPrinTest, DeleteKeyAndInputMethodTextObeyTheDigitFilter)
{
    TForm2 form(nullptr, record);
    QLineEdit* edit = form.Edit1;
    edit->setText(QStringLiteral("123"));
    edit->setCursorPosition(0);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(edit, &del);
    EXPECT_EQ(edit->text(), QStringLiteral("23"));

    const auto commit = [edit](const QString& text) {
        QInputMethodEvent event;
        event.setCommitString(text);
        QApplication::sendEvent(edit, &event);
    };
    commit(QStringLiteral("１０"));
    commit(QStringLiteral("かな"));
    EXPECT_EQ(edit->text(), QStringLiteral("23"));
    edit->setCursorPosition(2);
    commit(QStringLiteral("45"));
    EXPECT_EQ(edit->text(), QStringLiteral("234")) << "a commit takes only as many digits as typing would";
}

TEST_F(ComPrinTest, OkStoresWhatTheFieldsShowAndCancelStoresNothing)
{
    record.pageTop = 5;
    record.pageBottom = 6;
    record.pageLeft = 7;
    const QString file = dir.filePath(QStringLiteral("cancelled.pdf"));
    whenModal<TForm2>([](TForm2& d) {
        d.Edit1->setText(QStringLiteral("40"));
        d.BitBtn3->click();
    });
    EXPECT_EQ(ui::printComment(nullptr, QStringLiteral("text"), testFont(), Qt::black, record,
                               [file](QWidget*) { choosePdfFile(file); }),
              0);
    EXPECT_EQ(record.pageTop, 5);
    EXPECT_FALSE(QFile::exists(file));

    {
        TForm2 form(nullptr, record);
        form.Edit1->setText(QStringLiteral("40"));  // typed, not stepped
        QTest::keyClick(form.Edit3, Qt::Key_Down);
        form.BitBtn2->click();
        EXPECT_EQ(form.result(), QDialog::Accepted);
    }
    EXPECT_EQ(record.pageTop, 40);
    EXPECT_EQ(record.pageBottom, 6);
    EXPECT_EQ(record.pageLeft, 6);

    // The next opening starts from what OK stored.
    TForm2 again(nullptr, record);
    EXPECT_EQ(again.Edit1->text(), QStringLiteral("40"));
}

TEST_F(ComPrinTest, PrinterSetupButtonRunsTheSetupAndLeavesTheDialogOpen)
{
    int setups = 0;
    TForm2 form(nullptr, record, [&](QWidget* parent) {
        ++setups;
        EXPECT_EQ(parent, &form);
    });
    form.show();
    form.BitBtn1->click();
    EXPECT_EQ(setups, 1);
    EXPECT_TRUE(form.isVisible());
}

TEST_F(ComPrinTest, PrinterChosenInTheSetupHoldsForLaterPrints)
{
    const QString file = dir.filePath(QStringLiteral("chosen.pdf"));
    ASSERT_EQ(printToPdf(QStringLiteral("first"), file), 1);
    ASSERT_TRUE(QFile::remove(file));
    whenModal<TForm2>([](TForm2& d) { d.BitBtn2->click(); });
    EXPECT_EQ(ui::printComment(nullptr, QStringLiteral("second"), testFont(), Qt::black, record), 1);
    const auto words = pdfprobe::words(file);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_EQ(words[0].text, QStringLiteral("second"));
}

TEST_F(ComPrinTest, PrinterSetupOffersAFileNamedAfterTheJobThatItsOkTakes)
{
    // A home of its own; the current folder (the build's) lies outside it, so Qt offers the home.
    const QByteArray home = qgetenv("HOME");
    qputenv("HOME", dir.path().toLocal8Bit());
    QPrinter& printer = print::currentPrinter();
    printer.setOutputFileName(QString());
    printer.setOutputFormat(QPrinter::PdfFormat);
    QString offered, refused;
    whenModal<QPrintDialog>([&](QPrintDialog& d) {
        offered = d.findChild<QLineEdit*>(QStringLiteral("filename"))->text();
        // A refused name would open a message box over the dialog: record it and close both.
        QTimer::singleShot(3000, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                refused = box->text();
                box->reject();
                d.reject();
            }
        });
        d.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok)->click();
    });
    ui::runPrinterSetup(nullptr);
    qputenv("HOME", home);
    EXPECT_EQ(offered.toStdString(), dir.filePath(QStringLiteral("BREVON_COMMENT.pdf")).toStdString());
    EXPECT_EQ(refused.toStdString(), "");
    EXPECT_EQ(printer.outputFileName().toStdString(), offered.toStdString());

    // A file chosen earlier stays what the setup offers.
    choosePdfFile(dir.filePath(QStringLiteral("mine.pdf")));
    whenModal<QPrintDialog>([&](QPrintDialog& d) {
        offered = d.findChild<QLineEdit*>(QStringLiteral("filename"))->text();
        d.reject();
    });
    ui::runPrinterSetup(nullptr);
    EXPECT_EQ(offered.toStdString(), dir.filePath(QStringLiteral("mine.pdf")).toStdString());
}

TEST_F(ComPrinTest, WithoutAnyPrinterThePrintReportsItThroughTheErrorBox)
{
    // Qt's stand-in for "no printer": a PDF printer without a file.
    QPrinter fresh(QPrinter::HighResolution);
    ASSERT_EQ(fresh.outputFormat(), QPrinter::PdfFormat) << "a print queue is reachable; the test needs none";
    ASSERT_TRUE(fresh.outputFileName().isEmpty());
    EXPECT_THROW(print::printText(fresh, QStringLiteral("x"), testFont(), Qt::black, {}), print::PrintError);

    QPrinter& current = print::currentPrinter();
    current.setOutputFormat(QPrinter::PdfFormat);
    current.setOutputFileName(QString());
    current.setOutputFormat(QPrinter::PdfFormat);
    whenModal<TForm2>([](TForm2& d) { d.BitBtn2->click(); });
    EXPECT_EQ(ui::printComment(nullptr, QStringLiteral("x"), testFont(), Qt::black, record), 0);
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("プリンタがインストールされていません")));
}

TEST_F(ComPrinTest, PrintsInsideTheMarginsInTheViewsFontAndColour)
{
    record.pageTop = 20;
    record.pageLeft = 10;
    record.pageBottom = 0;
    const QString file = dir.filePath(QStringLiteral("margins.pdf"));
    QString text = QStringLiteral("FIRST line\r\n");
    for (int i = 0; i < 40; ++i)
        text += QStringLiteral("wrapping%1 ").arg(i);
    ASSERT_EQ(printToPdf(text, file, QColor(255, 0, 0)), 1);
    ASSERT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();

    const QRectF area = print::currentPrinter().pageLayout().paintRectPoints();
    const auto info = pdfprobe::info(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
    EXPECT_EQ(info->title, QStringLiteral("BREVON COMMENT"));
    const auto words = pdfprobe::words(file);
    ASSERT_GE(words.size(), 40u);
    EXPECT_EQ(words[0].text, QStringLiteral("FIRST"));
    EXPECT_NEAR(words[0].xMin, area.left() + marginPoints(10), 0.5);
    // The line's top sits on the margin; the word box starts at the font's ascent, a little lower.
    EXPECT_GE(words[0].yMin, area.top() + marginPoints(20) - 0.5);
    EXPECT_LE(words[0].yMin, area.top() + marginPoints(20) + 4);

    // The long paragraph wraps at the printable area's right edge, each line from the left margin.
    double lastY = words[0].yMin;
    int rows = 1;
    for (const auto& w : words) {
        EXPECT_LE(w.xMax, area.right() + 0.5) << w.text.toStdString();
        if (w.yMin > lastY + 1) {
            ++rows;
            lastY = w.yMin;
            EXPECT_NEAR(w.xMin, area.left() + marginPoints(10), 0.5) << w.text.toStdString();
        }
    }
    EXPECT_GE(rows, 3);

    // The text is red; the view's background is not printed.
    const QImage page = pdfprobe::render(file, 1, 50);
    ASSERT_FALSE(page.isNull());
    int red = 0, other = 0;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QColor c = page.pixelColor(x, y);
            if (c.red() > 150 && c.green() < 110 && c.blue() < 110)
                ++red;
            else if (c.red() < 245 || std::abs(c.green() - c.blue()) > 3)  // neither white nor red ink
                ++other;
        }
    EXPECT_GT(red, 50);
    EXPECT_EQ(other, 0);
}

TEST_F(ComPrinTest, LongTextContinuesOnFurtherPagesInTheSameRectangle)
{
    record.pageTop = 30;
    record.pageBottom = 40;
    record.pageLeft = 25;
    const QString file = dir.filePath(QStringLiteral("long.pdf"));
    QStringList lines;
    for (int i = 1; i <= 150; ++i)
        lines << QStringLiteral("L%1").arg(i, 3, 10, QChar(u'0'));
    const int pages = printToPdf(lines.join(QStringLiteral("\r\n")), file);
    ASSERT_GT(pages, 1);

    const QRectF area = print::currentPrinter().pageLayout().paintRectPoints();
    const auto info = pdfprobe::info(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, pages);
    const auto words = pdfprobe::words(file);
    ASSERT_EQ(words.size(), 150u);  // every line exactly once, none lost at a page break
    std::vector<int> perPage(pages + 1, 0);
    for (int i = 0; i < 150; ++i) {
        EXPECT_EQ(words[i].text, lines[i]);
        ++perPage[words[i].page];
        EXPECT_NEAR(words[i].xMin, area.left() + marginPoints(25), 0.5);
        EXPECT_LE(words[i].yMax, area.bottom() - marginPoints(40) + 0.5) << lines[i].toStdString();
        EXPECT_GE(words[i].yMin, area.top() + marginPoints(30) - 0.5);
        if (i > 0 && words[i].page != words[i - 1].page) {  // each page starts again at the top margin
            EXPECT_LT(words[i].yMin, area.top() + marginPoints(30) + 4);
        }
    }
    for (int p = 2; p < pages; ++p)
        EXPECT_EQ(perPage[p], perPage[1]) << "page " << p;
    EXPECT_LE(perPage[pages], perPage[1]);

    // Smaller margins hold more lines per page.
    record.pageTop = record.pageBottom = 0;
    const QString wide = dir.filePath(QStringLiteral("wide.pdf"));
    ASSERT_GT(printToPdf(lines.join(QStringLiteral("\n")), wide), 0);
    const auto wideWords = pdfprobe::words(wide);
    ASSERT_EQ(wideWords.size(), 150u);
    int firstPage = 0;
    for (const auto& w : wideWords)
        firstPage += w.page == 1;
    EXPECT_GT(firstPage, perPage[1]);
}

TEST_F(ComPrinTest, MarginsThatLeaveNothingPrintOnTheWholePrintableArea)
{
    record.pageTop = 999;
    record.pageBottom = 999;
    record.pageLeft = 999;
    const QString file = dir.filePath(QStringLiteral("overflow.pdf"));
    ASSERT_EQ(printToPdf(QStringLiteral("CORNER"), file), 1);
    const QRectF area = print::currentPrinter().pageLayout().paintRectPoints();
    const auto words = pdfprobe::words(file);
    ASSERT_EQ(words.size(), 1u);
    EXPECT_NEAR(words[0].xMin, area.left(), 0.5);
    EXPECT_GE(words[0].yMin, area.top() - 0.5);
    EXPECT_LE(words[0].yMin, area.top() + 4);
}

TEST_F(ComPrinTest, EmptyViewGivesOneBlankPageInAJobOfItsOwnName)
{
    const QString file = dir.filePath(QStringLiteral("empty.pdf"));
    ASSERT_EQ(printToPdf(QString(), file), 1);
    const auto info = pdfprobe::info(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
    EXPECT_EQ(info->title, QStringLiteral("BREVON COMMENT"));
    EXPECT_TRUE(pdfprobe::words(file).empty());
}

TEST_F(ComPrinTest, RectangleLowerThanOneLineEndsTheJobInsteadOfLooping)
{
    // A4 is 297 mm; 147 + 147 leave 3 mm, less than a 12 pt line.
    record.pageTop = 147;
    record.pageBottom = 147;
    const QString file = dir.filePath(QStringLiteral("thin.pdf"));
    ASSERT_EQ(printToPdf(QStringLiteral("one\r\ntwo\r\nthree"), file), 1);
    const auto info = pdfprobe::info(file);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->pages, 1);
}
