#include "platform/qt/Cp932.h"
#include "platform/qt/ShellOpen.h"
#include "store/UserId.h"
#include "ui/Unit5.h"
#include "support/TestApplication.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <future>
#include <thread>

namespace {

using testsupport::app;

// Runs `act` on every warning dialog that comes up while the object lives, and counts them.
class WarningWatcher {
public:
    explicit WarningWatcher(std::function<void(TForm5&)> act) : act_(std::move(act))
    {
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (auto* d = dynamic_cast<TForm5*>(QApplication::activeModalWidget()); d && d != last_) {
                last_ = d;
                ++shown;
                act_(*d);
            }
        });
        timer_.start(10);
    }
    int shown = 0;

private:
    std::function<void(TForm5&)> act_;
    QTimer timer_;
    TForm5* last_ = nullptr;
};

bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

class Unit5Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        app();
        ASSERT_TRUE(dir.isValid());
        data = dir.path().toStdString() + "/";
        record = settings::SettingsRecord{};
        record.homePageUrl = "https://www.brevon.example/";
        record.tsrPageUrl = "https://www.brevon.example/tessera/?id=";
        previous = platform::setUrlOpener([this](const QString& a) { opened << a; });
    }
    void TearDown() override { platform::setUrlOpener(previous); }

    void userIdFile(const QByteArray& bytes)
    {
        ASSERT_TRUE(writeBytes(dir.filePath(QStringLiteral("USER_ID.DAT")), bytes));
    }

    QTemporaryDir dir;
    std::string data;
    settings::SettingsRecord record;
    QStringList opened;
    platform::UrlOpener previous;
};

}  // namespace

TEST_F(Unit5Test, UserIdIsTheFirstLineCutTo16Bytes)
{
    userIdFile("ABCDEFGHIJKLMNOPQRS\r\nsecond line\r\n");
    EXPECT_EQ(store::ReadUserId(data), "ABCDEFGHIJKLMNOP");
    userIdFile("user01\r\nuser02\r\n");
    EXPECT_EQ(store::ReadUserId(data), "user01");
    userIdFile("user01\nuser02");
    EXPECT_EQ(store::ReadUserId(data), "user01");
    userIdFile("no line end");
    EXPECT_EQ(store::ReadUserId(data), "no line end");
    // A lone CR does not end the line and is not part of it.
    userIdFile("AB\rCD\r\nEF");
    EXPECT_EQ(store::ReadUserId(data), "ABCD");
    userIdFile("0123456789\r012345678\n");
    EXPECT_EQ(store::ReadUserId(data), "0123456789012345");
    userIdFile("\r\nsecond");
    EXPECT_EQ(store::ReadUserId(data), "");
    // Bytes as stored, code page 932 included.
    userIdFile(QByteArray::fromStdString(platform::cp932("利用者")) + "\n");
    EXPECT_EQ(store::ReadUserId(data), platform::cp932("利用者"));
    // The data folder may come without its trailing separator.
    EXPECT_EQ(store::ReadUserId(dir.path().toStdString()), platform::cp932("利用者"));
}

TEST_F(Unit5Test, AnyFailureGivesAnEmptyUserId)
{
    EXPECT_EQ(store::ReadUserId(data), "");  // missing
    userIdFile("");
    EXPECT_EQ(store::ReadUserId(data), "");  // empty
    QFile::remove(dir.filePath(QStringLiteral("USER_ID.DAT")));
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("USER_ID.DAT")));
    EXPECT_EQ(store::ReadUserId(data), "");  // not a file
    EXPECT_EQ(store::ReadUserId("/nonexistent/folder/"), "");
}

TEST_F(Unit5Test, AddressesAreThePrefixWithTheUserIdAndTheHomePage)
{
    userIdFile("ABCDEFGHIJKLMNOPQRS\r\n");
    EXPECT_EQ(ui::webAddress(ui::WebPage::Tessera, data, record),
              "https://www.brevon.example/tessera/?id=ABCDEFGHIJKLMNOP");
    EXPECT_EQ(ui::webAddress(ui::WebPage::Home, data, record), "https://www.brevon.example/");
    // Read anew for every jump, nothing escaped.
    userIdFile("a&b c\n");
    EXPECT_EQ(ui::webAddress(ui::WebPage::Tessera, data, record), "https://www.brevon.example/tessera/?id=a&b c");
    userIdFile("");
    EXPECT_EQ(ui::webAddress(ui::WebPage::Tessera, data, record), "https://www.brevon.example/tessera/?id=");
}

TEST_F(Unit5Test, WarningTextIsSetWhenTheDialogShowsAndCloseClosesIt)
{
    TForm5 form;
    form.Label1->clear();
    form.show();
    EXPECT_EQ(form.Label1->text(), QStringLiteral("この機能（URLからのジャンプ）はインターネットへの\r\n\r\n"
                                                  "接続環境が必要となります。\r\n\r\n"
                                                  "接続環境が無い場合は動作が無視されます。"));
    form.Button1->click();
    EXPECT_FALSE(form.isVisible());
}

TEST_F(Unit5Test, UntickingTheWarningStopsItForLaterJumps)
{
    userIdFile("U1\n");
    {
        WarningWatcher watcher([](TForm5& d) {
            EXPECT_TRUE(d.CheckBox1->isChecked());
            d.CheckBox1->setChecked(false);
            d.Button1->click();
        });
        ui::jumpToWebPage(ui::WebPage::Tessera, data, nullptr, record);
        EXPECT_EQ(watcher.shown, 1);
    }
    EXPECT_FALSE(record.browsCSw);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://www.brevon.example/tessera/?id=U1")});

    // Both buttons now open their page at once.
    WarningWatcher none([](TForm5& d) { d.Button1->click(); });
    ui::jumpToWebPage(ui::WebPage::Home, data, nullptr, record);
    ui::jumpToWebPage(ui::WebPage::Tessera, data, nullptr, record);
    EXPECT_EQ(none.shown, 0);
    EXPECT_FALSE(record.browsCSw);
    EXPECT_EQ(opened.size(), 3);
    EXPECT_EQ(opened[1], QStringLiteral("https://www.brevon.example/"));
}

TEST_F(Unit5Test, ClosingTheWarningByItsFrameStillJumpsAndKeepsTheWarning)
{
    WarningWatcher watcher([](TForm5& d) { d.close(); });
    ui::jumpToWebPage(ui::WebPage::Home, data, nullptr, record);
    EXPECT_EQ(watcher.shown, 1);
    EXPECT_TRUE(record.browsCSw);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://www.brevon.example/")});
}

TEST_F(Unit5Test, StoredAddressBytesReachTheBrowserAsText)
{
    record.browsCSw = false;
    record.homePageUrl = platform::cp932("https://www.brevon.example/ホーム");
    ui::jumpToWebPage(ui::WebPage::Home, data, nullptr, record);
    EXPECT_EQ(opened, QStringList{QStringLiteral("https://www.brevon.example/ホーム")});
}

TEST_F(Unit5Test, DesktopOpenerStartsXdgOpenWithTheAddress)
{
    // A stand-in xdg-open first on PATH records what it was given.
    const QString bin = dir.filePath(QStringLiteral("bin"));
    ASSERT_TRUE(QDir().mkpath(bin));
    const QString log = dir.filePath(QStringLiteral("opened.txt"));
    ASSERT_TRUE(writeBytes(
        bin + QStringLiteral("/xdg-open"),
        QStringLiteral("#!/bin/sh\nprintf '%s\\n' \"$@\" > '%1.part' && mv '%1.part' '%1'\n").arg(log).toUtf8()));
    QFile::setPermissions(bin + QStringLiteral("/xdg-open"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    const QByteArray path = qgetenv("PATH");
    qputenv("PATH", bin.toUtf8() + ":" + path);

    platform::setUrlOpener({});  // the desktop's own
    userIdFile("ID0123\r\n");
    record.browsCSw = false;
    ui::jumpToWebPage(ui::WebPage::Tessera, data, nullptr, record);

    const bool opened = QTest::qWaitFor([&] { return QFile::exists(log); }, 10000);
    qputenv("PATH", path);
    ASSERT_TRUE(opened) << "xdg-open was not started";
    QFile f(log);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly)) << "xdg-open was not started";
    EXPECT_EQ(QString::fromUtf8(f.readAll()), QStringLiteral("https://www.brevon.example/tessera/?id=ID0123\n"));
}

TEST_F(Unit5Test, UserIdFileThatIsAPipeCountsAsNoUserId)
{
    const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("USER_ID.DAT")));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    std::promise<std::string> result;
    std::thread reader([&] { result.set_value(store::ReadUserId(data)); });
    auto id = result.get_future();
    const bool ended = id.wait_for(std::chrono::seconds(5)) == std::future_status::ready;
    if (!ended) {
        // Free the blocked reader, so that the failure is reported instead of hanging the test.
        const int writer = ::open(fifo.constData(), O_WRONLY | O_NONBLOCK);
        if (writer >= 0)
            ::close(writer);
    }
    reader.join();
    EXPECT_TRUE(ended) << "reading a pipe blocked";
    EXPECT_EQ(id.get(), "");
}
