// The comment view with large comments, through the real main window: what copying, printing and
// the search marks get while a comment is still loading or is one long line.

#include "platform/qt/Cp932.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"
#include "ui/FrameworkError.h"
#include "ui/MainWindowFixture.h"
#include "ui/SearchPanel.h"

#include <QAction>
#include <QClipboard>
#include <QGuiApplication>
#include <QListWidget>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QTextBlock>
#include <QTextLayout>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class CommentView : public MainWindowFixture {
protected:
    void TearDown() override
    {
        ui::setFrameworkErrorHandler({});
        MainWindowFixture::TearDown();
    }
    // Writes `text` (UTF-16) as code page 932 at `path`, `age` minutes old.
    static void write(const std::string& path, const QString& text, int age)
    {
        writeComment(path, text.toStdString(), age);
    }
    void selectRow(int row) { form->ListBox1->setCurrentIndex(form->ListBox1->lines()->index(row, 0)); }
    QString copyAll()
    {
        QTest::keyClick(form->Memo1, Qt::Key_A, Qt::ControlModifier);
        form->Copy1Click();
        return QGuiApplication::clipboard()->text();
    }
};

TEST_F(CommentView, AnUnreadableNextCommentLeavesTheEarlierOneWhole)
{
    QString big;
    for (int i = 0; i < 40000; ++i)
        big += QStringLiteral("%1行目の本文です。\r\n").arg(i);
    write(suite + "RecvData/COMMENT.002", big, 1);
    const std::string gone = suite + "RecvData/COMMENT.001";
    write(gone, QStringLiteral("消える"), 5);
    QStringList errors;
    ui::setFrameworkErrorHandler([&](const QString& message) { errors << message; });
    open();
    ASSERT_EQ(lines().size(), 2);
    fs::remove(gone);

    selectRow(1);  // its file is gone while the large one still loads
    ASSERT_EQ(errors.size(), 1);
    const QString copied = copyAll();
    EXPECT_TRUE(copied == big.replace(QStringLiteral("\r\n"), QStringLiteral("\n")))
        << copied.size() << " of " << big.size();
}

// One line of 100,000 characters: words and blanks, so the view breaks lines between words.
QString oneLongLine()
{
    QString line;
    for (int i = 0; line.size() < 100000; ++i)
        line += i % 7 == 0 ? QStringLiteral("株価%1 ").arg(i) : QStringLiteral("word%1 ").arg(i);
    return line;
}

// The lengths of the lines the view shows, in order, against those of the text laid out whole.
std::vector<int> shownLineLengths(QPlainTextEdit* view)
{
    std::vector<int> lengths;
    QTextDocument* doc = view->document();
    for (QTextBlock block = doc->firstBlock(); block.isValid(); block = block.next()) {
        doc->documentLayout()->blockBoundingRect(block);  // lays it out
        for (int i = 0; i < block.layout()->lineCount(); ++i)
            lengths.push_back(block.layout()->lineAt(i).textLength());
    }
    return lengths;
}
std::vector<int> wholeLineLengths(QPlainTextEdit* view, const QString& text)
{
    QTextDocument* doc = view->document();
    QTextLayout layout(text, doc->defaultFont());
    layout.setTextOption(doc->defaultTextOption());
    std::vector<int> lengths;
    layout.beginLayout();
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(view->viewport()->width() - 2 * doc->documentMargin());
        lengths.push_back(line.textLength());
    }
    layout.endLayout();
    return lengths;
}

TEST_F(CommentView, OneLongLineWrapsAsOneLineAtAnyWidthAndCopiesWhole)
{
    const QString line = oneLongLine();
    write(suite + "Result/COMMENT/COMMENT.001", line, 1);
    open();
    EXPECT_TRUE(copyAll() == line);  // at once, while it loads
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return shownLineLengths(form->Memo1) == wholeLineLengths(form->Memo1, line); }, 20000));

    form->resize(form->width() - 150, form->height());
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return shownLineLengths(form->Memo1) == wholeLineLengths(form->Memo1, line); }, 20000));
    EXPECT_TRUE(copyAll() == line);
}

TEST_F(CommentView, WordsAreMarkedInALargeCommentUpToTheMarkLimit)
{
    // A line long enough to be cut, some words falling across a cut, then 1.5 MB of short lines.
    const QString line = oneLongLine();
    QString text;
    for (int i = 0; i < 300; ++i)
        text += QStringLiteral("トヨタ") + line.mid(i * 80, 80);
    text += QStringLiteral("\r\n");
    for (int i = 0; i < 60000; ++i)
        text += QStringLiteral("トヨタの株価は上がった。\r\n");
    write(suite + "Result/COMMENT/COMMENT.001", text, 5);
    write(suite + "Result/COMMENT/COMMENT.002", QStringLiteral("短い"), 1);
    open();
    form->NSearch->trigger();
    SearchPanel* panel = form->searchPanel();
    panel->Edit->setText(QStringLiteral("トヨタ"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return panel->Results->count() == 1; }, 5000));
    QTest::keyClick(panel->Edit, Qt::Key_Return);  // the large comment is shown and loads

    ASSERT_TRUE(QTest::qWaitFor([&] { return form->Memo1->extraSelections().size() == 1000; }, 20000))
        << form->Memo1->extraSelections().size() << " marks";
    for (const QTextEdit::ExtraSelection& mark : form->Memo1->extraSelections())
        ASSERT_EQ(mark.cursor.selectedText().remove(QChar::ParagraphSeparator), QStringLiteral("トヨタ"))
            << mark.cursor.selectionStart();
    EXPECT_EQ(form->Memo1->textCursor().position(), form->Memo1->extraSelections()[0].cursor.selectionStart());
}

}  // namespace
