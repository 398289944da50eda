// The real main window over a temporary suite, settings backend and registry store.

#include "docking/TDock.h"
#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"
#include "host/HostInfo.h"
#include "platform/ShellFileOperation.h"
#include "platform/qt/Cp932.h"
#include "platform/qt/Registry.h"
#include "platform/qt/ShellOpen.h"
#include "settings/SettingsRecord.h"
#include "support/FakeSettingsBackend.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"
#include "ui/CommentViewLoader.h"
#include "ui/MainWindowFixture.h"
#include "ui/Unit4.h"
#include "ui/UpDown.h"

#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFontInfo>
#include <QFocusEvent>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

class MainWindow : public MainWindowFixture {
protected:
    // A comment file whose first line is `title`, `age` minutes old.
    std::string comment(const std::string& dir, const std::string& name, const std::string& title, int age)
    {
        return writeComment(dir + name, title + "\r\n2026年12月4日\r\n本文\r\n", age);
    }
    std::string received(const std::string& name, const std::string& title, int age)
    {
        return comment(suite + "RecvData/", name, title, age);
    }
    std::string saved(const std::string& name, const std::string& title, int age)
    {
        return comment(suite + "Result/COMMENT/", name, title, age);
    }
};

TEST_F(MainWindow, ReceivedModeListsAllCategoriesNewestFirstAndRefusesToClose)
{
    received("CMARKET.001", "速報A", 30);
    received("COMMENT.001", "連絡古い", 50);
    received("COMMENT.002", "連絡新しい", 5);
    TForm1& w = open();

    ASSERT_TRUE(w.receivedMode());
    EXPECT_EQ(lines().size(), 3);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("連絡新しい")));
    EXPECT_TRUE(lines()[1].endsWith(QStringLiteral("連絡古い")));
    EXPECT_EQ(lines()[2], QStringLiteral("速報A"));
    EXPECT_EQ(w.ListBox1->currentRow(), 0);
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("連絡新しい\n2026年12月4日\n")));

    for (QObject* c : std::initializer_list<QObject*>{w.CommentBt, w.MarketBt, w.WeekEndBt, w.KessanBt})
        EXPECT_FALSE(qobject_cast<QWidget*>(c)->isEnabled());
    for (QAction* a : {w.NComment, w.NMarket, w.NWeekEnd, w.NKessan})
        EXPECT_FALSE(a->isEnabled());
    EXPECT_TRUE(w.NStock->isEnabled());
    EXPECT_TRUE(w.NAllStock->isEnabled());
    EXPECT_TRUE(w.ToolbarButton5->isEnabled());
    EXPECT_TRUE(w.ToolbarButton6->isEnabled());
    EXPECT_TRUE(w.ToolbarButton4->isEnabled());
    EXPECT_TRUE(w.NDelete->isEnabled());
    EXPECT_FALSE(w.ToolbarButton1->isVisible());

    EXPECT_FALSE(w.close());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(messages(),
              "BrevonMessage\t警告\t未処理のコメントが残っています\t[保存]または[削除]を行ってください\t0\n");
}

TEST_F(MainWindow, SavedModeStartsOnTheStoredCategoryWithSwitchingEnabled)
{
    saved("CWEKEND.001", "週末コメント", 10);
    saved("COMMENT.001", "連絡", 10);
    store.integers["DispMode"] = 2;
    TForm1& w = open();

    EXPECT_FALSE(w.receivedMode());
    EXPECT_TRUE(w.WeekEndBt->down());
    EXPECT_TRUE(w.NWeekEnd->isChecked());
    ASSERT_EQ(lines().size(), 1);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("週末コメント")));
    EXPECT_TRUE(w.CommentBt->isEnabled());
    EXPECT_TRUE(w.NKessan->isEnabled());
    EXPECT_FALSE(w.NStock->isEnabled());
    EXPECT_FALSE(w.ToolbarButton6->isEnabled());
    EXPECT_TRUE(w.close());
}

TEST_F(MainWindow, DamagedDispModeShowsTheNotices)
{
    saved("COMMENT.001", "連絡", 10);
    store.integers["DispMode"] = 99;
    TForm1& w = open();
    EXPECT_EQ(lines().size(), 1);
    EXPECT_TRUE(w.CommentBt->down());
    EXPECT_EQ(w.CurrentCategory(), 0);
}

TEST_F(MainWindow, SavingChosenEntriesMovesFilesAndKeepsTheCaretPlace)
{
    std::vector<std::string> paths;
    for (int i = 0; i < 10; ++i)  // entry i is the i-th newest
        paths.push_back(received("COMMENT.00" + std::to_string(i), "題" + std::to_string(i), 10 + i));
    TForm1& w = open();
    ASSERT_EQ(lines().size(), 10);

    w.ListBox1->clearSelection();
    w.ListBox1->setRowSelected(1, true);
    w.ListBox1->setRowSelected(4, true);
    w.ListBox1->selectionModel()->setCurrentIndex(w.ListBox1->model()->index(4, 0), QItemSelectionModel::NoUpdate);
    w.ToolbarButton5Click();

    ASSERT_EQ(lines().size(), 8);
    EXPECT_EQ(w.ListBox1->currentRow(), 4);
    EXPECT_TRUE(lines()[4].endsWith(QStringLiteral("題6")));
    EXPECT_TRUE(w.ListBox1->isRowSelected(4));
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("題6")));
    EXPECT_EQ(w.pathList().size(), 8u);
    EXPECT_FALSE(fs::exists(paths[1]));
    EXPECT_TRUE(fs::exists(suite + "Result/COMMENT/COMMENT.001"));
    EXPECT_TRUE(fs::exists(suite + "Result/COMMENT/COMMENT.004"));
    EXPECT_TRUE(fs::exists(paths[0]));
    EXPECT_TRUE(w.receivedMode());
}

TEST_F(MainWindow, DeletingRunsOfAdjacentLinesKeepsTheOthersAndTheirPathsInStep)
{
    for (int i = 0; i < 10; ++i)  // entry i is the i-th newest
        received("COMMENT.00" + std::to_string(i), "題" + std::to_string(i), 10 + i);
    TForm1& w = open();
    w.ListBox1->clearSelection();
    for (int row : {0, 1, 2, 5, 7, 8, 9})  // runs at the start, the middle and the end
        w.ListBox1->setRowSelected(row, true);
    w.ToolbarButton4Click();

    ASSERT_EQ(lines().size(), 3);
    const char* kept[] = {"3", "4", "6"};
    for (int i = 0; i < 3; ++i) {
        EXPECT_TRUE(lines()[i].endsWith(QStringLiteral("題") + QLatin1String(kept[i]))) << i;
        EXPECT_EQ(w.pathList()[static_cast<size_t>(i)], suite + "RecvData/COMMENT.00" + kept[i]) << i;
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(suite + "RecvData"), fs::directory_iterator()), 3);
}

TEST_F(MainWindow, DeletingWithoutSelectionTakesTheCaretEntryAndTheLastMovesTheCaretBack)
{
    received("COMMENT.001", "新", 1);
    const std::string oldest = received("COMMENT.002", "古", 9);
    TForm1& w = open();
    w.ListBox1->clearSelection();
    w.ListBox1->selectionModel()->setCurrentIndex(w.ListBox1->model()->index(1, 0), QItemSelectionModel::NoUpdate);
    w.NDelete->trigger();
    EXPECT_FALSE(fs::exists(oldest));
    EXPECT_FALSE(fs::exists(suite + "Result/COMMENT/COMMENT.002"));
    ASSERT_EQ(lines().size(), 1);
    EXPECT_EQ(w.ListBox1->currentRow(), 0);
}

TEST_F(MainWindow, SaveAllSwitchesToSavedModeAndPurgesBeyondTheLimit)
{
    // Category 0 keeps 10; there are 8 saved and 4 received notices.
    store.integers["MaxCmntInfo0"] = 10;
    for (int i = 0; i < 8; ++i)
        saved("COMMENT.S0" + std::to_string(i), "保存" + std::to_string(i), 100 + i);
    for (int i = 0; i < 4; ++i)
        received("COMMENT.R0" + std::to_string(i), "受信" + std::to_string(i), 10 + i);
    received("CKES012.TXT", "決算", 10);
    TForm1& w = open();
    ASSERT_EQ(lines().size(), 5);

    w.NAllStock->trigger();

    EXPECT_FALSE(w.receivedMode());
    EXPECT_TRUE(w.CommentBt->isEnabled());
    EXPECT_FALSE(w.NStock->isEnabled());
    EXPECT_EQ(w.commentTable().count(0), 10);
    EXPECT_EQ(lines().size(), 10);  // notices on show: the button that is down
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("受信0")));
    // The two oldest saved ones went.
    EXPECT_FALSE(fs::exists(suite + "Result/COMMENT/COMMENT.S07"));
    EXPECT_FALSE(fs::exists(suite + "Result/COMMENT/COMMENT.S06"));
    EXPECT_TRUE(fs::exists(suite + "Result/COMMENT/COMMENT.S05"));
    EXPECT_TRUE(fs::exists(suite + "Result/COMMENT/CKES012.TXT"));
    EXPECT_TRUE(fs::is_empty(suite + "RecvData"));
    EXPECT_TRUE(w.close());
}

TEST_F(MainWindow, FilesThatCouldNotBeMovedAreReportedInOneGo)
{
    const std::string gone = received("COMMENT.001", "消えた", 1);
    received("COMMENT.002", "残る", 2);
    TForm1& w = open();
    fs::remove(gone);  // taken away by someone else after the list was made
    std::vector<platform::FileOpFailure> reported;
    w.onBatchFailures = [&](const platform::FileOpResult& r) { reported = r.failures; };
    w.ToolbarButton6Click();
    ASSERT_EQ(reported.size(), 1u);
    EXPECT_EQ(reported[0].source, gone);
    EXPECT_EQ(reported[0].error, ENOENT);
    EXPECT_TRUE(fs::exists(suite + "Result/COMMENT/COMMENT.002"));
    EXPECT_FALSE(w.receivedMode());  // the entries leave the list whatever became of their files
}

TEST_F(MainWindow, FailureBoxShowsAJapaneseFolderNameReadably)
{
    host::HostInfo& h = host::Host();
    h.receivedDir = root + "/株式 ブレボン/RecvData/";  // file names are UTF-8 here
    fs::create_directories(h.receivedDir);
    const std::string gone = comment(h.receivedDir, "COMMENT.001", "消えた", 1);
    TForm1& w = open();
    fs::remove(gone);
    QString text, details;
    QTimer boxWatch;
    QObject::connect(&boxWatch, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            text = box->text();
            details = box->detailedText();
            box->accept();
        }
    });
    boxWatch.start(10);
    w.ToolbarButton6Click();
    EXPECT_TRUE(details.startsWith(QString::fromStdString(gone) + QStringLiteral(" → "))) << details.toStdString();
    // The reason in Japanese; the system's own words only in the details.
    EXPECT_TRUE(text.contains(QStringLiteral("ファイルまたはフォルダが見つからない"))) << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("No such file"))) << text.toStdString();
    EXPECT_TRUE(details.contains(QStringLiteral("No such file or directory"))) << details.toStdString();
}

TEST_F(MainWindow, DeletingEverythingInSavedModeClearsTheViewAndStaysSaved)
{
    saved("CMARKET.001", "速報", 3);
    store.integers["DispMode"] = 1;
    TForm1& w = open();
    ASSERT_EQ(lines().size(), 1);
    w.ToolbarButton4Click();
    EXPECT_EQ(lines().size(), 0);
    EXPECT_TRUE(w.Memo1->toPlainText().isEmpty());
    EXPECT_FALSE(w.receivedMode());
    EXPECT_TRUE(w.MarketBt->isEnabled());
    EXPECT_EQ(w.commentTable().count(1), 0);
}

TEST_F(MainWindow, ButtonsAndMenuItemsAgreeOnTheCategory)
{
    saved("CMARKET.001", "速報", 3);
    saved("CWEKEND.001", "週末", 3);
    TForm1& w = open();
    w.NMarket->trigger();
    EXPECT_TRUE(w.MarketBt->down());
    EXPECT_FALSE(w.CommentBt->down());
    EXPECT_EQ(lines(), QStringList{QStringLiteral("速報")});
    QTest::mouseClick(w.WeekEndBt, Qt::LeftButton);
    EXPECT_TRUE(w.NWeekEnd->isChecked());
    EXPECT_FALSE(w.MarketBt->down());
    EXPECT_EQ(w.CurrentCategory(), 2);
    // A category without comments empties the list and leaves the view as it was.
    const QString before = w.Memo1->toPlainText();
    w.WeekEndBtClick(w.KessanBt);
    EXPECT_EQ(lines().size(), 0);
    EXPECT_EQ(w.Memo1->toPlainText(), before);
}

TEST_F(MainWindow, CategoryControlsKeepTheirDesignedNamesAndCaptions)
{
    TForm1& w = open();
    const std::vector<docking::TToolbarButton*> buttons{w.CommentBt, w.MarketBt, w.WeekEndBt, w.KessanBt};
    const QStringList buttonNames{"CommentBt", "MarketBt", "WeekEndBt", "KessanBt"};
    const QStringList hints{"お知らせ表示", "ﾏｰｹｯﾄ速報表示", "週末ｺﾒﾝﾄ表示", "決算修正率表示"};
    const std::vector<QAction*> items{w.NComment, w.NMarket, w.NWeekEnd, w.NKessan};
    const QStringList captions{"連絡", "ﾏｰｹｯﾄ情報", "週末ｺﾒﾝﾄ", "決算ｺﾒﾝﾄ"};
    const QStringList groups{"連絡コメント", "マーケット速報", "週末コメント", "決算修正率コメント"};
    ASSERT_EQ(w.Toolbar1->findChildren<docking::TToolbarButton*>().size(), 4);
    TForm4 d;
    // The designed 304 x 243, grown only where the style's group captions need room.
    EXPECT_EQ(d.width(), 304);
    EXPECT_GE(d.height(), 243);
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(buttons[k]->objectName(), buttonNames[k]);
        EXPECT_EQ(buttons[k]->hint(), hints[k]);
        EXPECT_FALSE(buttons[k]->glyph().isNull());
        EXPECT_EQ(w.viewMenu()->actions()[k], items[k]);
        EXPECT_EQ(items[k]->text(), captions[k]);
        EXPECT_EQ(d.GroupBox[k]->title(), groups[k]);
        EXPECT_EQ(d.GroupBox[k]->objectName(), QStringLiteral("GroupBox%1").arg(k + 1));
    }
}

TEST_F(MainWindow, FontSizeStepsByThreeWithinNineToThirty)
{
    store.integers["FontSize"] = 40;
    TForm1& w = open();
    // The stand-in for the original fixed-pitch font keeps byte widths lined up.
    const QFontMetricsF metrics(w.ListBox1->font());
    EXPECT_NEAR(metrics.horizontalAdvance(QStringLiteral("あ")), 2 * metrics.horizontalAdvance(QStringLiteral("a")),
                0.1)
        << QFontInfo(w.ListBox1->font()).family().toStdString();
    EXPECT_NEAR(metrics.horizontalAdvance(QStringLiteral(" ")), metrics.horizontalAdvance(QStringLiteral("W")), 0.1);
    EXPECT_EQ(w.Edit2->text(), QStringLiteral("30"));
    w.UpDown1->step(TUpDown::btNext);
    EXPECT_EQ(w.Edit2->text(), QStringLiteral("30"));
    for (int i = 0; i < 10; ++i)
        w.UpDown1->step(TUpDown::btPrev);
    EXPECT_EQ(w.Edit2->text(), QStringLiteral("9"));
    EXPECT_EQ(w.Memo1->font().pointSize(), 9);
    EXPECT_EQ(w.ListBox1->font().pointSize(), 9);
    w.UpDown1->step(TUpDown::btNext);
    EXPECT_EQ(w.Memo1->font().pointSize(), 12);
}

// Root ignores permissions: the store's folder is a file here (ENOTDIR), which fails for root too.
TEST_F(MainWindow, SettingsThatCannotBeStoredAreReportedOnceAtTheClose)
{
    saved("CKES005.TXT", "決算", 3);
    std::ofstream(root + "/file") << "not a folder";
    const std::string unwritable = root + "/file/registry.ini";
    setenv("BREVON_REGISTRY", unwritable.c_str(), 1);
    store.failWrites = true;
    open();
    form.reset();
    // The folder that takes no file is named, not the file.
    EXPECT_EQ(messages(), "BrevonMessage\t警告\t設定のフォルダに書き込めません（保存先のフォルダの途中がファイル）。\t" +
                              root + "/file\t1\n");

    // The host's settings store alone failing is reported as well.
    std::filesystem::remove(root + "/messages.log");
    setenv("BREVON_REGISTRY", (root + "/registry.ini").c_str(), 1);
    open();
    form.reset();
    EXPECT_NE(messages().find("設定を保存できません"), std::string::npos);
}

TEST_F(MainWindow, SettingsAndLayoutAreWrittenAtCloseAndReadBack)
{
    saved("CKES005.TXT", "決算", 3);
    TForm1& w = open();
    w.KessanBt->click();
    w.UpDown1->step(TUpDown::btNext);
    w.Toolbar1DockStand(2);  // all toolbars to the left dock
    ASSERT_EQ(w.Toolbar1->dockedTo(), w.Dock2);
    form.reset();

    EXPECT_EQ(store.integers["Version"], 3);
    EXPECT_EQ(store.integers["DispMode"], 3);
    EXPECT_EQ(store.integers["FontSize"], 15);

    TForm1& again = open();
    EXPECT_TRUE(again.KessanBt->down());
    EXPECT_EQ(again.Edit2->text(), QStringLiteral("15"));
    EXPECT_EQ(again.Toolbar1->dockedTo(), again.Dock2);
    EXPECT_EQ(again.Toolbar3->dockedTo(), again.Dock2);
    again.N3Click(again.N3);
    EXPECT_EQ(again.Toolbar1->dockedTo(), again.Dock1);
    EXPECT_EQ(again.Toolbar1->dockRow(), 0);
    EXPECT_EQ(again.Toolbar3->dockPos(), 0);
    EXPECT_GE(again.Toolbar1->dockPos(), 137);
    EXPECT_GT(again.Toolbar2->dockPos(), again.Toolbar1->dockPos());
}

TEST_F(MainWindow, PresetsAreStoredOnceAndAlignShowsHiddenToolbars)
{
    TForm1& w = open();
    {
        platform::Registry reg;
        EXPECT_EQ(reg.read("Software\\Brevon\\Comment\\Default.Left\\Toolbar1", "Rev"), QStringLiteral("3"));
        EXPECT_EQ(reg.read("Software\\Brevon\\Comment\\Default.Right\\Toolbar2", "DockedTo"), QStringLiteral("Dock3"));
        EXPECT_EQ(reg.read("Software\\Brevon\\Comment\\Default\\Toolbar2", "DockedTo"), QStringLiteral("Dock1"));
    }
    EXPECT_TRUE(w.HasLayoutPresets());
    EXPECT_EQ(w.Toolbar2->dockedTo(), w.Dock1);  // the live layout, not the last preset
    w.Toolbar2->setVisible(false);
    w.N6->trigger();
    EXPECT_EQ(w.Toolbar2->dockedTo(), w.Dock3);
    EXPECT_TRUE(w.Toolbar2->isToolWindowVisible());
}

TEST_F(MainWindow, RetentionOkPurgesAndReloadsTheShownCategory)
{
    for (int i = 0; i < 15; ++i)
        saved("COMMENT.0" + std::to_string(10 + i), "連絡" + std::to_string(i), 10 + i);
    TForm1& w = open();
    ASSERT_EQ(lines().size(), 15);
    w.onRetentionDialog = [](TForm4& d) {
        d.Edit[0]->setText(QStringLiteral("12"));
        return true;
    };
    w.N7Click();
    EXPECT_EQ(settings::Settings().maxCmntInfo[0], 12);
    EXPECT_EQ(lines().size(), 12);
    EXPECT_FALSE(fs::exists(suite + "Result/COMMENT/COMMENT.024"));

    w.onRetentionDialog = [](TForm4& d) {
        d.Edit[0]->setText(QStringLiteral("10"));
        return false;  // cancelled
    };
    w.N7Click();
    EXPECT_EQ(settings::Settings().maxCmntInfo[0], 12);
    EXPECT_EQ(lines().size(), 12);
}

TEST_F(MainWindow, RetentionOkInReceivedModeKeepsListingReceivedCommentsOnly)
{
    for (int i = 0; i < 12; ++i)
        saved("COMMENT.S" + std::to_string(10 + i), "保存", 100 + i);
    received("COMMENT.R01", "受信新", 1);
    received("COMMENT.R02", "受信古", 500);
    TForm1& w = open();
    ASSERT_TRUE(w.receivedMode());
    w.onRetentionDialog = [](TForm4& d) {
        d.Edit[0]->setText(QStringLiteral("10"));
        return true;
    };
    w.N7Click();
    // 14 notices against a limit of 10: the four oldest go, among them the old received one.
    EXPECT_FALSE(fs::exists(suite + "RecvData/COMMENT.R02"));
    ASSERT_EQ(lines().size(), 1);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("受信新")));
    EXPECT_EQ(w.pathList()[0], suite + "RecvData/COMMENT.R01");
    EXPECT_TRUE(w.receivedMode());
}

TEST_F(MainWindow, RetentionDialogFiltersKeysAndClamps)
{
    TForm4 d;
    d.show();
    QLineEdit* e = d.Edit[0];
    e->setFocus();
    e->setText(QStringLiteral("12"));
    e->setCursorPosition(2);
    QTest::keyClicks(e, QStringLiteral("3a4"));
    EXPECT_EQ(e->text(), QStringLiteral("123"));
    e->setSelection(0, 1);
    QTest::keyClick(e, Qt::Key_9);
    EXPECT_EQ(e->text(), QStringLiteral("923"));
    QTest::keyClick(e, Qt::Key_Return);
    EXPECT_EQ(e->text(), QStringLiteral("500"));
    EXPECT_TRUE(d.isVisible()) << "Enter must not close the dialog";
    e->setText(QStringLiteral("495"));
    QTest::keyClick(e, Qt::Key_PageUp);
    EXPECT_EQ(e->text(), QStringLiteral("500"));
    e->setText(QStringLiteral("25"));
    QTest::keyClick(e, Qt::Key_PageDown);
    EXPECT_EQ(e->text(), QStringLiteral("15"));
    QTest::keyClick(e, Qt::Key_PageDown);
    EXPECT_EQ(e->text(), QStringLiteral("10"));
    e->setText(QStringLiteral("5"));
    QTest::keyClick(e, Qt::Key_PageUp);
    EXPECT_EQ(e->text(), QStringLiteral("15"));
    e->setText(QStringLiteral("5"));
    d.Edit1Exit(0);
    EXPECT_EQ(e->text(), QStringLiteral("10"));
    e->setText(QStringLiteral("050"));
    d.Edit1Exit(0);
    EXPECT_EQ(e->text(), QStringLiteral("050"));

    d.CheckBox[2]->setChecked(false);
    EXPECT_FALSE(d.Edit[2]->isEnabled());
    EXPECT_FALSE(d.UpDown[2]->isEnabled());
    EXPECT_TRUE(d.GroupBox[2]->isEnabled());
    d.CheckBox[2]->setChecked(true);
    EXPECT_TRUE(d.Edit[2]->isEnabled());
}

TEST_F(MainWindow, ListAndViewAreNamedAndTheViewTakesACaretAndShowsTheFocus)
{
    saved("COMMENT.001", "一", 1);
    TForm1& w = open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    auto name = [](QObject* o) { return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name); };
    EXPECT_EQ(name(w.ListBox1), QStringLiteral("コメント一覧"));
    EXPECT_EQ(name(w.Memo1), QStringLiteral("コメント本文"));

    const QColor highlight = w.Memo1->palette().color(QPalette::Active, QPalette::Highlight);
    auto leftEdge = [&] { return w.Memo1->grab().toImage().pixelColor(0, w.Memo1->height() / 2); };
    EXPECT_NE(leftEdge(), highlight);
    w.Memo1->setFocus();
    ASSERT_TRUE(w.Memo1->hasFocus());
    EXPECT_EQ(leftEdge(), highlight);

    // The keys move a caret through the text and change nothing.
    QTest::keyClick(w.Memo1, Qt::Key_Down);
    EXPECT_EQ(w.Memo1->textCursor().blockNumber(), 1);
    QTest::keyClick(w.Memo1, Qt::Key_End, Qt::ShiftModifier);
    EXPECT_EQ(w.Memo1->textCursor().selectedText(), QStringLiteral("2026年12月4日"));
    QTest::keyClicks(w.Memo1, QStringLiteral("x"));
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("一\n2026年12月4日\n")));

    w.ListBox1->setFocus();
    EXPECT_NE(leftEdge(), highlight);
}

TEST_F(MainWindow, ALongLineIsCutAtTheListsEdgeAndReadWhole)
{
    std::string title = "長い見出し";
    for (int i = 0; i < 40; ++i)
        title += "　日経平均";
    saved("COMMENT.001", title, 1);
    TForm1& w = open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    const QString line = w.ListBox1->text(0);
    ASSERT_GT(w.ListBox1->fontMetrics().horizontalAdvance(line), w.ListBox1->viewport()->width());
    EXPECT_EQ(w.ListBox1->horizontalScrollBar()->maximum(), 0);
    EXPECT_EQ(w.ListBox1->visualRect(w.ListBox1->lines()->index(0)).width(), w.ListBox1->viewport()->width());
    EXPECT_EQ(w.ListBox1->textElideMode(), Qt::ElideNone);
    QAccessibleInterface* list = QAccessible::queryAccessibleInterface(w.ListBox1);
    ASSERT_NE(list->tableInterface(), nullptr);
    EXPECT_EQ(list->tableInterface()->cellAt(0, 0)->text(QAccessible::Name), line);
}

TEST_F(MainWindow, HelpMenuOpensTheWebPagesTheToolbarButtonsOpen)
{
    TForm1& w = open();
    settings::SettingsRecord& s = settings::Settings();
    s.browsCSw = false;  // no warning before the jump
    s.homePageUrl = "https://www.brevon.example/";
    s.tsrPageUrl = "https://www.brevon.example/tessera/?id=";
    QStringList opened;
    const auto previous = platform::setUrlOpener([&opened](const QString& a) { opened << a; });
    w.NHomePage->trigger();
    w.NTesseraPage->trigger();
    const QStringList fromMenu = opened;
    opened.clear();
    QTest::mouseClick(w.ToolbarButton7, Qt::LeftButton);
    QTest::mouseClick(w.tesseraPageGo, Qt::LeftButton);
    platform::setUrlOpener(previous);
    EXPECT_EQ(fromMenu, (QStringList{QStringLiteral("https://www.brevon.example/"),
                                     QStringLiteral("https://www.brevon.example/tessera/?id=")}));
    EXPECT_EQ(opened, fromMenu);
}

TEST_F(MainWindow, ArrowKeysMoveTheCaretAndShowTheCommentShiftExtendsTheSelection)
{
    received("COMMENT.001", "一", 1);
    received("COMMENT.002", "二", 2);
    received("COMMENT.003", "三", 3);
    TForm1& w = open();
    QTest::keyClick(w.ListBox1, Qt::Key_Down);
    EXPECT_EQ(w.ListBox1->currentRow(), 1);
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("二\n")));
    QTest::keyClick(w.ListBox1, Qt::Key_Down, Qt::ShiftModifier);
    EXPECT_EQ(w.ListBox1->currentRow(), 2);
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("三\n")));
    EXPECT_FALSE(w.ListBox1->isRowSelected(0));
    EXPECT_TRUE(w.ListBox1->isRowSelected(1));
    EXPECT_TRUE(w.ListBox1->isRowSelected(2));
}

TEST_F(MainWindow, ALargeCommentShowsItsBeginningAtOnceAndCopyingTakesAllOfIt)
{
    received("COMMENT.001", "短い", 1);
    // 23-byte lines: over the slices every cut falls once between CR and LF and once inside a
    // double-byte character. Some lines end in a lone CR or a lone LF.
    std::string bytes = platform::cp932("大きい") + "\r\n";
    QString expected = QStringLiteral("大きい\n");
    for (int i = 0; i < 18000; ++i) {
        const char* end = i % 97 == 0 ? "\r" : i % 89 == 0 ? "\n" : "\r\n";
        bytes += platform::cp932("本日は晴れ。") + "abcdefghi" + end;
        expected += QStringLiteral("本日は晴れ。abcdefghi\n");
    }
    const std::string big = suite + "RecvData/COMMENT.002";
    std::ofstream(big, std::ios::binary) << bytes;
    fs::last_write_time(big, fs::file_time_type::clock::now() - std::chrono::minutes(5));
    TForm1& w = open();
    ASSERT_EQ(lines().size(), 2);
    const QString shortText = w.Memo1->toPlainText();

    w.ListBox1->setCurrentIndex(w.ListBox1->lines()->index(1, 0));  // as a click does
    const QString first = w.Memo1->toPlainText();
    EXPECT_LT(first.size(), expected.size());
    EXPECT_TRUE(expected.startsWith(first));
    QTest::keyClick(w.Memo1, Qt::Key_A, Qt::ControlModifier);  // select all: the rest is loaded first
    w.Copy1Click();
    EXPECT_EQ(QGuiApplication::clipboard()->text(), expected);

    // Another comment chosen while a large one loads: only that one is shown.
    w.ListBox1->setCurrentIndex(w.ListBox1->lines()->index(1, 0));
    w.ListBox1->setCurrentIndex(w.ListBox1->lines()->index(0, 0));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !ui::CommentViewLoader::of(w.Memo1)->loading(); }));
    EXPECT_EQ(w.Memo1->toPlainText(), shortText);
    EXPECT_TRUE(shortText.startsWith(QStringLiteral("短い\n")));
}

// Typing over the limit shown replaces it at once, as in a field reached by Tab.
TEST_F(MainWindow, RetentionDialogOpensWithTheFirstLimitSelected)
{
    TForm4 d;
    d.UpDown[0]->setPosition(500);
    d.show();
    QApplication::setActiveWindow(&d);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&d));
    ASSERT_EQ(QApplication::focusWidget(), d.Edit[0]);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("123"));
    EXPECT_EQ(d.Edit[0]->text(), QStringLiteral("123"));
}

// In the Japanese font at the size the dialog was designed for, each group's caption ends above
// its frame line and its controls start below it.
TEST_F(MainWindow, RetentionGroupCaptionsStandClearOfTheirFrames)
{
    TForm4 d;
    QFont font(QStringLiteral("Noto Sans CJK JP"));
    font.setPixelSize(12);
    d.setFont(font);
    d.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&d));
    for (QGroupBox* box : d.GroupBox) {
        const QImage shot = box->grab().toImage();
        const int x = box->width() - 6;  // right of the caption: the background, then the frame's top line
        int line = 0;
        while (line < shot.height() && shot.pixel(x, line) == shot.pixel(x, 0))
            ++line;
        int controlsTop = box->height();
        for (QWidget* child : box->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly))
            controlsTop = std::min(controlsTop, child->y());
        int inkBottom = -1;
        for (int y = 0; y < controlsTop; ++y)
            for (int ix = 0; ix < box->fontMetrics().horizontalAdvance(box->title()) + 8; ++ix)
                if (qGray(shot.pixel(ix, y)) < 110)
                    inkBottom = y;
        const std::string what = box->title().toStdString();
        EXPECT_GT(inkBottom, 0) << what;
        EXPECT_LT(inkBottom, line) << what << ": the caption runs into the frame line";
        EXPECT_GT(controlsTop, line) << what << ": a control sits on the frame line";
    }
    EXPECT_LE(d.BitBtn2->geometry().bottom(), d.height());
    EXPECT_GT(d.BitBtn2->y(), d.GroupBox[3]->geometry().bottom());
}

// Opening the edit's context menu or switching to another window is no exit: a field emptied to
// paste a number into must not become "10" meanwhile.
TEST_F(MainWindow, RetentionEditsClampOnlyWhenTheFocusMovesOn)
{
    TForm4 d;
    d.show();
    QLineEdit* e = d.Edit[0];
    e->setFocus();
    e->clear();
    for (Qt::FocusReason away : {Qt::PopupFocusReason, Qt::ActiveWindowFocusReason}) {
        QFocusEvent out(QEvent::FocusOut, away);
        QApplication::sendEvent(e, &out);
        QFocusEvent back(QEvent::FocusIn, away);
        QApplication::sendEvent(e, &back);
    }
    EXPECT_EQ(e->text(), QString());
    QFocusEvent tab(QEvent::FocusOut, Qt::TabFocusReason);
    QApplication::sendEvent(e, &tab);
    EXPECT_EQ(e->text(), QStringLiteral("10"));
}

// X11 sends DEL with the Delete key, and a Japanese input method commits text instead of keys.
TEST_F(MainWindow, RetentionEditsDeleteAndFilterInputMethodText)
{
    TForm4 d;
    QLineEdit* e = d.Edit[1];
    e->setText(QStringLiteral("150"));
    e->setCursorPosition(1);
    QKeyEvent del(QEvent::KeyPress, Qt::Key_Delete, Qt::NoModifier, QStringLiteral("\x7f"));
    QApplication::sendEvent(e, &del);
    EXPECT_EQ(e->text(), QStringLiteral("10"));

    QInputMethodEvent fullWidth;
    fullWidth.setCommitString(QStringLiteral("５０"));
    QApplication::sendEvent(e, &fullWidth);
    EXPECT_EQ(e->text(), QStringLiteral("10"));
    QInputMethodEvent digits;
    digits.setCommitString(QStringLiteral("0a5"));
    QApplication::sendEvent(e, &digits);
    EXPECT_EQ(e->text(), QStringLiteral("100"));
}

}  // namespace
