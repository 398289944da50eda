// The search panel driven through the real main window over a temporary suite.

#include "docking/TToolbarButton.h"
#include "host/HostInfo.h"
#include "store/Icu.h"
#include "platform/qt/Cp932.h"
#include "support/FakeSettingsBackend.h"
#include "support/IcuMissing.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"
#include "ui/MainWindowFixture.h"
#include "ui/SearchPanel.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QTest>
#include <QTextDocument>
#include <QToolButton>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace fs = std::filesystem;

namespace {

// What a tooltip shows: Qt reads one that looks like markup as rich text.
QString shownAs(const QString& toolTip)
{
    if (!Qt::mightBeRichText(toolTip))
        return toolTip;
    QTextDocument document;
    document.setHtml(toolTip);
    return document.toPlainText();
}

class SearchPanelTest : public MainWindowFixture {
protected:
    void saved(const std::string& name, const char* text, int ageMinutes, const char* folder = "Result/COMMENT/")
    {
        writeComment(suite + folder + name, text, ageMinutes);
    }
};

TEST_F(SearchPanelTest, TypedWordFindsACommentThatIsShownInItsCategoryWithTheWordMarked)
{
    saved("COMMENT.001", "連絡\r\nトヨタ以外\r\n", 10);
    saved("CMARKET.001", "速報丙\r\n本文に ＴＯＹＯＴＡ が出てくる\r\n", 20);
    saved("CMARKET.002", "新しい速報\r\n", 5);
    form = std::make_unique<TForm1>(&store);
    form->show();
    ASSERT_FALSE(form->receivedMode());
    ASSERT_FALSE(form->MarketBt->down());

    form->NSearch->trigger();
    SearchPanel* panel = form->searchPanel();
    ASSERT_TRUE(panel->isVisible());
    QTest::keyClicks(panel->Edit, QStringLiteral("toyota"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 1, 5000);
    EXPECT_TRUE(panel->Results->item(0)->text().startsWith(QStringLiteral("速報  ")));
    EXPECT_TRUE(panel->Results->item(0)->text().endsWith(QStringLiteral("  速報丙")));

    panel->Results->setCurrentRow(0);
    QTest::keyClick(panel->Results, Qt::Key_Return);
    EXPECT_TRUE(form->MarketBt->down());
    EXPECT_TRUE(form->NMarket->isChecked());
    EXPECT_EQ(form->ListBox1->currentIndex().row(), 1);
    EXPECT_EQ(form->pathList()[1], suite + "Result/COMMENT/CMARKET.001");
    EXPECT_TRUE(form->Memo1->toPlainText().contains(QStringLiteral("速報丙")));
    QTRY_COMPARE_WITH_TIMEOUT(form->Memo1->extraSelections().size(), 1, 5000);
    EXPECT_EQ(form->Memo1->extraSelections()[0].cursor.selectedText(), QStringLiteral("ＴＯＹＯＴＡ"));

    // Another comment shown: the marks go. Esc empties the field and the results.
    form->ListBox1->setCurrentIndex(form->ListBox1->model()->index(0, 0));
    EXPECT_TRUE(form->Memo1->extraSelections().isEmpty());
    QTest::keyClick(panel->Edit, Qt::Key_Escape);
    EXPECT_TRUE(panel->Edit->text().isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 0, 5000);
}

TEST_F(SearchPanelTest, InReceivedModeTheReceivedCommentsAreSearchedAndTheCaretGoesToTheLine)
{
    saved("COMMENT.001", "連絡一\r\n", 10, "RecvData/");
    saved("CMARKET.001", "速報\r\nｶﾌﾞ式市場\r\n", 20, "RecvData/");
    saved("CMARKET.002", "保存済み\r\nカブ\r\n", 5);
    form = std::make_unique<TForm1>(&store);
    form->show();
    ASSERT_TRUE(form->receivedMode());

    form->NSearch->trigger();
    SearchPanel* panel = form->searchPanel();
    panel->Edit->setText(QStringLiteral("カブ"));  // as an input method commits it
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 1, 5000);
    QTest::keyClick(panel->Edit, Qt::Key_Return);  // the first result
    EXPECT_EQ(form->ListBox1->currentIndex().row(), 1);
    EXPECT_EQ(form->pathList()[1], suite + "RecvData/CMARKET.001");
    EXPECT_TRUE(form->receivedMode());
    QTRY_COMPARE_WITH_TIMEOUT(form->Memo1->extraSelections().size(), 1, 5000);
    EXPECT_EQ(form->Memo1->extraSelections()[0].cursor.selectedText(), QStringLiteral("ｶﾌﾞ"));
}

TEST_F(SearchPanelTest, ResultsFollowTheFolderAndAResultShownAlreadyIsNotReadAgain)
{
    saved("COMMENT.001", "連絡\r\nトヨタ一\r\n", 10, "RecvData/");
    saved("COMMENT.002", "連絡\r\nトヨタ二\r\n", 20, "RecvData/");
    saved("COMMENT.003", "無関係\r\n", 30, "RecvData/");
    TForm1& w = open();
    w.NSearch->trigger();
    SearchPanel* panel = w.searchPanel();
    panel->Edit->setText(QStringLiteral("トヨタ"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->Status->text(), QStringLiteral("2 件"), 5000);

    // Deleted: its result leaves, without a key typed.
    w.ListBox1->clearSelection();
    w.ListBox1->setRowSelected(0, true);
    w.ToolbarButton4Click();
    QTRY_COMPARE_WITH_TIMEOUT(panel->Status->text(), QStringLiteral("1 件"), 5000);
    ASSERT_EQ(panel->Results->count(), 1);
    // Arrived: it joins.
    writeComment(root + "/new", "速報\r\nトヨタ三\r\n", 0);
    fs::rename(root + "/new", suite + "RecvData/CMARKET.001");
    QTRY_COMPARE_WITH_TIMEOUT(panel->Status->text(), QStringLiteral("2 件"), 5000);

    panel->Results->setCurrentRow(0);
    QTest::keyClick(panel->Results, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(w.Memo1->extraSelections().size(), 1, 5000);
    int reads = 0;
    QObject::connect(w.Memo1, &QPlainTextEdit::textChanged, [&reads] { ++reads; });
    QTest::keyClick(panel->Results, Qt::Key_Return);
    QTest::qWait(200);
    EXPECT_EQ(reads, 0);
    EXPECT_EQ(w.Memo1->extraSelections().size(), 1);
}

TEST_F(SearchPanelTest, WithoutICUThePanelSaysWhyAndTheProgramGoesOn)
{
    saved("COMMENT.001", "連絡\r\nトヨタ\r\n", 10);
    form = std::make_unique<TForm1>(&store);
    form->show();
    form->NSearch->trigger();
    SearchPanel* panel = form->searchPanel();
    {
        const support::IcuMissing missing;
        panel->Edit->setText(QStringLiteral("トヨタ"));
        QTRY_COMPARE_WITH_TIMEOUT(panel->Status->text(), QStringLiteral("検索できません（cannot load libicuuc.so.99）"),
                                  5000);
    }
    panel->Edit->setText(QStringLiteral("ﾄﾖﾀ"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 1, 5000);
}

TEST_F(SearchPanelTest, EscClosesAnEmptyFieldCtrlFReturnsToItAndEnterHandsTheListTheFocus)
{
    saved("COMMENT.001", "連絡\r\nトヨタ\r\n", 10);
    saved("COMMENT.002", "別件\r\n", 5);
    TForm1& w = open();
    w.NSearch->trigger();
    SearchPanel* panel = w.searchPanel();
    QTRY_VERIFY(QApplication::activeWindow() == panel);  // a tool window counts as active with its owner
    panel->Edit->setText(QStringLiteral("トヨタ"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 1, 5000);

    QTest::keyClick(panel->Edit, Qt::Key_Down);
    ASSERT_TRUE(panel->Results->hasFocus());
    QTest::keyClick(panel->Results, Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(panel->Edit->hasFocus());
    EXPECT_EQ(panel->Edit->selectedText(), QStringLiteral("トヨタ"));

    QTest::keyClick(panel->Edit, Qt::Key_Return);
    EXPECT_EQ(w.pathList()[static_cast<size_t>(w.ListBox1->currentRow())], suite + "Result/COMMENT/COMMENT.001");
    QTRY_VERIFY(QApplication::activeWindow() == &w);
    EXPECT_TRUE(w.ListBox1->hasFocus());

    w.NSearch->trigger();
    QTRY_VERIFY(QApplication::activeWindow() == panel);  // a tool window counts as active with its owner
    QTest::keyClick(panel->Edit, Qt::Key_Escape);
    EXPECT_TRUE(panel->isVisible()) << "the first Esc only empties the field";
    EXPECT_TRUE(panel->Edit->text().isEmpty());
    QTest::keyClick(panel->Edit, Qt::Key_Escape);
    EXPECT_FALSE(panel->isVisible());
    EXPECT_TRUE(w.isVisible());
}

TEST_F(SearchPanelTest, ControlsAndTheCountAreNamedAndLongLinesAreElidedButReadWhole)
{
    const std::string longTitle(300, 'X');
    saved("COMMENT.001", (longTitle + "\r\nトヨタ\r\n").c_str(), 10);
    open();
    form->NSearch->trigger();
    SearchPanel* panel = form->searchPanel();
    auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    EXPECT_EQ(name(panel->Edit), QStringLiteral("検索する語句"));
    EXPECT_EQ(name(panel->Results), QStringLiteral("検索結果"));
    auto* clear = panel->Edit->findChild<QToolButton*>();
    ASSERT_NE(clear, nullptr);
    EXPECT_EQ(name(clear), QStringLiteral("語句を消す"));

    panel->resize(300, panel->height());
    panel->Edit->setText(QStringLiteral("トヨタ"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 1, 5000);
    QTRY_COMPARE_WITH_TIMEOUT(panel->Status->text(), QStringLiteral("1 件"), 5000);
    EXPECT_EQ(name(panel->Status), QStringLiteral("1 件"));

    const QString line = panel->Results->item(0)->text();
    ASSERT_GT(panel->Results->fontMetrics().horizontalAdvance(line), panel->Results->viewport()->width());
    EXPECT_EQ(shownAs(panel->Results->item(0)->toolTip()), line);
    const QModelIndex first = panel->Results->model()->index(0, 0);
    EXPECT_EQ(first.data(Qt::AccessibleTextRole).toString(), line);
    EXPECT_LE(panel->Results->visualRect(first).width(), panel->Results->viewport()->width());
    EXPECT_FALSE(panel->Results->horizontalScrollBar()->isVisible());
}

TEST_F(SearchPanelTest, ATitleThatLooksLikeMarkupStaysTextInItsTooltip)
{
    saved("COMMENT.001", "<h1>速報</h1><img src=\"x.png\"> &amp;\r\n本文\r\n", 10);
    open();
    form->NSearch->trigger();
    SearchPanel* panel = form->searchPanel();
    panel->Edit->setText(QStringLiteral("速報"));
    QTRY_COMPARE_WITH_TIMEOUT(panel->Results->count(), 1, 5000);
    const QString line = panel->Results->item(0)->text();
    ASSERT_TRUE(line.contains(QStringLiteral("<h1>速報</h1><img src=\"x.png\"> &amp;"))) << line.toStdString();
    EXPECT_EQ(shownAs(panel->Results->item(0)->toolTip()), line);
    // A screen reader takes names as plain text: there the line is as written.
    QAccessibleInterface* cell = QAccessible::queryAccessibleInterface(panel->Results)->tableInterface()->cellAt(0, 0);
    EXPECT_EQ(cell->text(QAccessible::Name), line);
    const QString description = cell->text(QAccessible::Description);
    EXPECT_TRUE(description.isEmpty() || description == line) << description.toStdString();
}

}  // namespace
