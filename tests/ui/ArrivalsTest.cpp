// Comments that arrive while the real main window is open, over a temporary suite.

#include "docking/TToolbar.h"
#include "docking/TToolbarButton.h"
#include "host/HostInfo.h"
#include "platform/qt/Cp932.h"
#include "platform/qt/Registry.h"
#include "settings/SettingsRecord.h"
#include "support/FakeSettingsBackend.h"
#include "ui/Arrivals.h"
#include "ui/ComMain.h"
#include "ui/CommentListView.h"
#include "ui/DesktopNotice.h"
#include "ui/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QFile>
#include <QPlainTextEdit>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <spawn.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

extern char** environ;

namespace fs = std::filesystem;

namespace {

// The tests talk to a bus of their own: no notice reaches the desktop of whoever runs them, and a
// fake notification service can be put on it. Set up before any window asks for the bus.
class PrivateSessionBus : public ::testing::Environment {
public:
    void SetUp() override
    {
        if (!fs::exists(kDaemon))
            return;
        char pattern[] = "/tmp/arrivals-bus-XXXXXX";
        dir_ = mkdtemp(pattern);
        const std::string address = "--address=unix:path=" + dir_ + "/bus";
        const char* argv[] = {kDaemon, "--session", "--nofork", address.c_str(), nullptr};
        if (posix_spawn(&pid_, kDaemon, nullptr, nullptr, const_cast<char**>(argv), environ) != 0)
            return;
        for (int i = 0; i < 200 && !fs::exists(dir_ + "/bus"); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        setenv("DBUS_SESSION_BUS_ADDRESS", ("unix:path=" + dir_ + "/bus").c_str(), 1);
    }
    void TearDown() override
    {
        if (pid_ > 0) {
            ::kill(pid_, SIGTERM);
            ::waitpid(pid_, nullptr, 0);
        }
        if (!dir_.empty())
            fs::remove_all(dir_);
    }
    bool running() const { return pid_ > 0; }

private:
    static constexpr const char* kDaemon = "/usr/bin/dbus-daemon";
    std::string dir_;
    pid_t pid_ = -1;
};
auto* const privateBus = static_cast<PrivateSessionBus*>(::testing::AddGlobalTestEnvironment(new PrivateSessionBus));

const QString kTitle = QStringLiteral("Brevonコメント情報");

class ArrivalsTest : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        fs::create_directories(root + "/incoming");
    }

    // A comment of one line, `title`, `age` minutes old.
    static std::string write(const std::string& path, const std::string& title, int age)
    {
        return writeComment(path, title + "\r\n", age);
    }
    // As the receiver delivers: written elsewhere, then moved into the received folder.
    std::string arrive(const std::string& name, const std::string& title, int age)
    {
        write(root + "/incoming/" + name, title, age);
        fs::rename(root + "/incoming/" + name, suite + "RecvData/" + name);
        return suite + "RecvData/" + name;
    }
    bool waitShown()
    {
        QSignalSpy spy(form->arrivals(), &Arrivals::shown);
        return spy.wait(3000);
    }
};

TEST_F(ArrivalsTest, SavedModeCountsArrivalsInTheCaptionAndButtonUntilTheyVanish)
{
    write(suite + "Result/COMMENT/COMMENT.001", "保存済み", 60);
    TForm1& w = open();
    ASSERT_FALSE(w.receivedMode());
    EXPECT_EQ(w.windowTitle(), kTitle);
    EXPECT_FALSE(w.ArrivalsBt->isVisibleTo(w.Toolbar3));
    EXPECT_FALSE(w.NArrivals->isVisible());
    const QRect toolbarBefore = w.Toolbar3->geometry();
    const int toolbar1Before = w.Toolbar1->dockPos();

    const std::string first = arrive("CMARKET.001", "速報", 0);
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(w.windowTitle(), kTitle + QStringLiteral(" (新着 1件)"));
    arrive("CKES123.TXT", "決算", 0);
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(w.windowTitle(), kTitle + QStringLiteral(" (新着 2件)"));
    EXPECT_TRUE(w.ArrivalsBt->isVisibleTo(w.Toolbar3));
    // The wider Toolbar3 pushes it along.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Toolbar1->dockPos() > toolbar1Before; }, 3000));
    EXPECT_EQ(w.ArrivalsBt->hint(), QStringLiteral("新着ｺﾒﾝﾄ表示"));
    EXPECT_TRUE(w.NArrivals->isVisible() && w.NArrivals->isEnabled());
    EXPECT_EQ(w.NArrivals->text(), QStringLiteral("新着コメント表示(&N)"));
    EXPECT_EQ(lines(), QStringList{QStringLiteral("保存済み")});  // the saved list stays as it was

    fs::remove(first);
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(w.windowTitle(), kTitle + QStringLiteral(" (新着 1件)"));
    fs::remove(suite + "RecvData/CKES123.TXT");
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(w.windowTitle(), kTitle);
    EXPECT_FALSE(w.ArrivalsBt->isVisibleTo(w.Toolbar3));
    EXPECT_FALSE(w.NArrivals->isVisible());
    // And it goes back: the layout is as before.
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.Toolbar1->dockPos() == toolbar1Before; }, 3000));
    EXPECT_EQ(w.Toolbar3->geometry(), toolbarBefore);
}

TEST_F(ArrivalsTest, F5SwitchesToReceivedModeAsAStartWouldAndTheCloseIsRefusedUntilKept)
{
    write(suite + "Result/COMMENT/CWEKEND.001", "週末", 60);
    store.integers["DispMode"] = 2;
    TForm1& w = open();
    arrive("COMMENT.001", "連絡", 10);
    ASSERT_TRUE(waitShown());
    arrive("CMARKET.001", "速報", 5);
    ASSERT_TRUE(waitShown());

    w.Memo1->setFocus();
    QTest::keyClick(&w, Qt::Key_F5);
    ASSERT_TRUE(w.receivedMode());
    ASSERT_EQ(lines().size(), 2);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("連絡")));
    EXPECT_EQ(lines()[1], QStringLiteral("速報"));
    EXPECT_EQ(w.ListBox1->currentRow(), 0);
    EXPECT_TRUE(w.ListBox1->hasFocus());
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("連絡\n")));
    EXPECT_TRUE(w.NStock->isEnabled() && w.ToolbarButton6->isEnabled());
    EXPECT_FALSE(w.WeekEndBt->isEnabled() || w.NWeekEnd->isEnabled());
    EXPECT_EQ(w.windowTitle(), kTitle);
    EXPECT_FALSE(w.ArrivalsBt->isVisibleTo(w.Toolbar3));

    w.close();
    EXPECT_TRUE(w.isVisible());
    EXPECT_NE(messages().find("未処理のコメントが残っています"), std::string::npos);

    w.NAllStock->trigger();
    EXPECT_FALSE(w.receivedMode());
    EXPECT_TRUE(fs::exists(suite + "Result/COMMENT/COMMENT.001"));
    EXPECT_EQ(lines(), QStringList{QStringLiteral("週末")});  // back on the category that was down
    EXPECT_TRUE(w.close());
}

TEST_F(ArrivalsTest, InReceivedModeArrivalsJoinTheirBlockNewestFirstAndTheCaretAndSelectionStay)
{
    write(suite + "RecvData/COMMENT.001", "連絡", 10);
    write(suite + "RecvData/CMARKET.001", "速報新", 20);
    write(suite + "RecvData/CMARKET.002", "速報古", 40);
    write(suite + "RecvData/CKES001.TXT", "決算", 50);
    TForm1& w = open();
    ASSERT_TRUE(w.receivedMode());
    w.ListBox1->clearSelection();
    w.ListBox1->setRowSelected(1, true);
    w.ListBox1->setRowSelected(2, true);
    w.ListBox1->selectionModel()->setCurrentIndex(w.ListBox1->lines()->index(2, 0), QItemSelectionModel::NoUpdate);
    const QString shown = w.Memo1->toPlainText();
    ASSERT_TRUE(shown.startsWith(QStringLiteral("速報古")));

    arrive("COMMENT.002", "連絡最新", 0);
    ASSERT_TRUE(waitShown());
    arrive("CMARKET.003", "速報中", 30);
    ASSERT_TRUE(waitShown());

    ASSERT_EQ(lines().size(), 6);
    EXPECT_TRUE(lines()[0].endsWith(QStringLiteral("連絡最新")));
    EXPECT_TRUE(lines()[1].endsWith(QStringLiteral("連絡")));
    EXPECT_EQ(lines().mid(2, 3),
              (QStringList{QStringLiteral("速報新"), QStringLiteral("速報中"), QStringLiteral("速報古")}));
    EXPECT_EQ(w.pathList()[static_cast<size_t>(w.ListBox1->currentRow())], suite + "RecvData/CMARKET.002");
    QStringList selected;
    for (const QModelIndex& index : w.ListBox1->selectionModel()->selectedIndexes())
        selected << w.ListBox1->text(index.row());
    selected.sort();
    EXPECT_EQ(selected, (QStringList{QStringLiteral("速報古"), QStringLiteral("速報新")}));
    EXPECT_EQ(w.Memo1->toPlainText(), shown);
    EXPECT_EQ(w.pathList().size(), 6u);
}

TEST_F(ArrivalsTest, ACommandWithItsDialogUpFinishesBeforeAnArrivalJoinsTheList)
{
    write(suite + "RecvData/COMMENT.001", "連絡", 10);
    TForm1& w = open();
    QDialog progress(&w);  // as the progress of a long keep/delete batch
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    arrive("COMMENT.002", "連絡最新", 0);
    // Nothing to wait for: the list must not change while the dialog is up, and a moved-in file
    // is seen well within this.
    QTest::qWait(300);
    EXPECT_EQ(lines(), QStringList{QStringLiteral("連絡")});
    progress.hide();
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(lines(), (QStringList{QStringLiteral("連絡最新"), QStringLiteral("連絡")}));
}

TEST_F(ArrivalsTest, WhatCameAndWentWhileADialogWasUpLeavesNoLineAndNoErrorBox)
{
    write(suite + "RecvData/COMMENT.001", "連絡", 10);
    TForm1& w = open();
    const std::string earlier = arrive("CMARKET.001", "速報", 0);
    ASSERT_TRUE(waitShown());
    ASSERT_EQ(lines().size(), 2);

    QDialog progress(&w);
    progress.setWindowModality(Qt::WindowModal);
    progress.show();
    const std::string brief = arrive("CMARKET.002", "すぐ消える", 0);
    // The pauses are the point: the watch sees each change on its own, so the dialog's end replays
    // an arrival, its going and an earlier line's going, rather than nothing at all.
    QTest::qWait(300);
    fs::remove(brief);
    QTest::qWait(300);
    fs::remove(earlier);
    QTest::qWait(300);
    progress.hide();
    ASSERT_TRUE(waitShown());

    EXPECT_EQ(lines(), QStringList{QStringLiteral("連絡")});
    EXPECT_EQ(w.pathList(), std::vector<std::string>{suite + "RecvData/COMMENT.001"});
    EXPECT_EQ(messages().find("ｵｰﾌﾟﾝｴﾗｰ"), std::string::npos) << messages();
}

TEST_F(ArrivalsTest, AnArrivalThatGoesAgainLeavesTheReceivedListAndTheLastOneGoneEndsReceivedMode)
{
    write(suite + "Result/COMMENT/COMMENT.001", "保存済み", 60);
    TForm1& w = open();
    const std::string first = arrive("COMMENT.002", "連絡", 5);
    ASSERT_TRUE(waitShown());
    const std::string second = arrive("CMARKET.001", "速報", 0);
    ASSERT_TRUE(waitShown());
    w.arrivals()->ArrivalsBtClick();
    ASSERT_TRUE(w.receivedMode());
    w.ListBox1->clearSelection();
    w.ListBox1->selectionModel()->setCurrentIndex(w.ListBox1->lines()->index(1, 0), QItemSelectionModel::NoUpdate);
    w.ListBox1->setRowSelected(1, true);

    fs::remove(second);  // the line with the caret: the caret goes to the one left, which is shown
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(lines(), QStringList{QStringLiteral("連絡")});
    EXPECT_EQ(w.ListBox1->currentRow(), 0);
    EXPECT_TRUE(w.ListBox1->isRowSelected(0));
    EXPECT_TRUE(w.Memo1->toPlainText().startsWith(QStringLiteral("連絡")));

    fs::remove(first);
    ASSERT_TRUE(waitShown());
    EXPECT_FALSE(w.receivedMode());
    EXPECT_EQ(lines(), QStringList{QStringLiteral("保存済み")});
    EXPECT_TRUE(w.close());
    EXPECT_EQ(messages().find("ｵｰﾌﾟﾝｴﾗｰ"), std::string::npos) << messages();
}

TEST_F(ArrivalsTest, AnUnseenArrivalDoesNotChangeTheToolbarLayoutStoredAtTheClose)
{
    TForm1& w = open();
    const QString key = w.settingsKey();
    const auto places = [&] {
        std::vector<int> rowsAndPositions;
        for (docking::TToolbar* bar : {w.Toolbar1, w.Toolbar2, w.Toolbar3})
            rowsAndPositions.insert(rowsAndPositions.end(), {bar->dockRow(), bar->dockPos()});
        return rowsAndPositions;
    };
    const std::vector<int> before = places();
    arrive("CMARKET.001", "速報", 0);
    ASSERT_TRUE(waitShown());
    ASSERT_TRUE(w.ArrivalsBt->isVisibleTo(w.Toolbar3));
    // The button's wider Toolbar3 has pushed its neighbours: the layout the close must not store.
    ASSERT_TRUE(QTest::qWaitFor([&] { return places() != before; }, 3000));
    form.reset();

    const platform::Registry reg;
    std::vector<int> stored;
    for (const char* bar : {"Toolbar1", "Toolbar2", "Toolbar3"}) {
        const QString sub = key + QLatin1Char('\\') + QLatin1String(bar);
        EXPECT_EQ(reg.read(sub, QStringLiteral("DockedTo")), QStringLiteral("Dock1"));
        for (const char* value : {"DockRow", "DockPos"})
            stored.push_back(reg.read(sub, QLatin1String(value)).value_or(QString()).toInt());
    }
    EXPECT_EQ(stored, before);
}

TEST_F(ArrivalsTest, AServiceThatReadsMarkupGetsTheListLineEscaped)
{
    char self[4096] = {};
    ASSERT_GT(::readlink("/proc/self/exe", self, sizeof self - 1), 0);
    const std::string server = fs::path(self).parent_path() / "fake-notifications";
    if (!fs::exists(server) || !privateBus->running())
        GTEST_SKIP() << "needs dbus-daemon and fake-notifications";
    testsupport::app();
    QProcess fake;
    fake.start(QString::fromStdString(server), {QString::fromStdString(root + "/notices.log"), QStringLiteral("600000"),
                                                QStringLiteral("body-markup")});
    ASSERT_TRUE(fake.waitForReadyRead(10000)) << "fake-notifications did not register on the bus";
    ASSERT_EQ(fake.readAllStandardOutput(), "registered\n");

    ui::DesktopNotice notice(nullptr);
    notice.show(QStringLiteral("新着コメント 1件"), QStringLiteral("<b>注目</b> 1万円<2万円 & <a href=x>"));
    QString told;
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            QFile log(QString::fromStdString(root + "/notices.log"));
            if (log.open(QIODevice::ReadOnly))
                told = QString::fromUtf8(log.readAll());
            return !told.isEmpty();
        },
        10000))
        << "no notice reached the service";
    fake.terminate();
    fake.waitForFinished(5000);
    EXPECT_EQ(told.toStdString(),
              std::string("新着コメント 1件\t&lt;b&gt;注目&lt;/b&gt; 1万円&lt;2万円 &amp; &lt;a href=x&gt;\n"));
}

TEST_F(ArrivalsTest, TheDesktopIsToldOnlyWhileTheWindowIsInactiveAndTheSettingAllowsIt)
{
    TForm1& w = open();
    QStringList told;
    w.arrivals()->onNotify = [&](const QString& summary, const QString& body) { told << summary + "|" + body; };
    QWidget other;
    other.show();
    QApplication::setActiveWindow(&other);
    ASSERT_FALSE(w.isActiveWindow());
    arrive("CMARKET.001", "株価急騰", 0);
    ASSERT_TRUE(waitShown());
    EXPECT_EQ(told, QStringList{QStringLiteral("新着コメント 1件|株価急騰")});

    settings::Settings().notifyArrivals = false;
    arrive("CMARKET.002", "続報", 0);
    ASSERT_TRUE(waitShown());
    settings::Settings().notifyArrivals = true;
    EXPECT_EQ(told.size(), 1);
}

}  // namespace
