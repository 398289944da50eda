// The search panel driven through the real main window over a temporary suite.

#include "docking/TToolbarButton.h"
#include "host/HostInfo.h"
#include "platform/qt/Cp932.h"
#include "support/FakeSettingsBackend.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"
#include "ui/SearchPanel.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QAbstractItemView>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

QApplication& app()
{
    static int argc = 1;
    static char name[] = "SearchPanelTest";
    static char* argv[] = {name, nullptr};
    static auto* a = new QApplication(argc, argv);
    return *a;
}

class SearchPanelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        char pattern[] = "/tmp/searchpanel-XXXXXX";
        root = mkdtemp(pattern);
        suite = root + "/suite/";
        fs::create_directories(suite + "RecvData");
        fs::create_directories(suite + "Result/COMMENT");
        setenv("BREVON_REGISTRY", (root + "/registry.ini").c_str(), 1);
        setenv("BREVON_MESSAGE_LOG", (root + "/messages.log").c_str(), 1);
        host::HostInfo& h = host::Host();
        h.suiteDir = suite;
        h.resultDir = suite + "Result/";
        h.dataDir = suite + "Data/";
        h.receivedDir = suite + "RecvData/";
        h.settingsKey = "Software\\Brevon\\Comment";
        store.integers["Top"] = 10;
        store.integers["Left"] = 10;
    }
    void TearDown() override
    {
        form.reset();
        fs::remove_all(root);
    }
    void saved(const std::string& name, const char* text, int ageMinutes, const char* folder = "Result/COMMENT/")
    {
        const std::string path = suite + folder + name;
        std::ofstream(path, std::ios::binary) << platform::cp932(text);
        fs::last_write_time(path, fs::file_time_type::clock::now() - std::chrono::minutes(ageMinutes));
    }

    std::string root, suite;
    FakeSettingsBackend store;
    std::unique_ptr<TForm1> form;
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

}  // namespace
