#include "HostSuiteTestSupport.h"
#include "host/BrevonApi.h"

#include <QFile>

using hostsuite_test::sj;

namespace {

class BrvMsgLog : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        logFile = dir.filePath(QStringLiteral("messages.log"));
        ::setenv("BREVON_MESSAGE_LOG", logFile.toLocal8Bit().constData(), 1);
    }
    void TearDown() override { ::unsetenv("BREVON_MESSAGE_LOG"); }

    QStringList lines() const
    {
        QFile f(logFile);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        QStringList result = QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'));
        EXPECT_EQ(result.takeLast(), QString()) << "every line ends with a newline";
        return result;
    }

    QTemporaryDir dir;
    QString logFile;
};

}  // namespace

TEST_F(BrvMsgLog, EachCallAppendsOneUtf8LineWithItsTextsAndKind)
{
    const std::string title = sj("警告"), text = sj("未処理のコメントが残っています"),
                      text2 = sj("[保存]または[削除]を行ってください");
    EXPECT_NE(BrevonMessage(title.c_str(), text.c_str(), text2.c_str(), 0, 0, 0, 0, 1), 0);
    const std::string notFound = sj("BRVREG.DLLが見つからない");
    BrevonMessage("DLL LOAD ERROR", notFound.c_str(), nullptr, 0, 1, 0, 0, 0);
    BrevonErrorMessage("BRVREG.DLL", 1113);
    const std::string product = sj("コメント情報");
    ShowBrevonVersion("/opt/brevon/bin/Comment", product.c_str());

    EXPECT_EQ(lines(), QStringList({
                           QStringLiteral("BrevonMessage\t警告\t未処理のコメントが残っています\t"
                                          "[保存]または[削除]を行ってください\t0"),
                           QStringLiteral("BrevonMessage\tDLL LOAD ERROR\tBRVREG.DLLが見つからない\t\t1"),
                           QStringLiteral("BrevonErrorMessage\tBRVREG.DLL\t1113"),
                           QStringLiteral("ShowBrevonVersion\t/opt/brevon/bin/Comment\tコメント情報"),
                       }));
}

TEST_F(BrvMsgLog, TabsAndLineBreaksInsideATextDoNotSplitTheRecord)
{
    BrevonMessage("a\tb", "line1\r\nline2", "", 0, 2, 0, 0, 0);
    EXPECT_EQ(lines(), QStringList({QStringLiteral("BrevonMessage\ta\\tb\tline1\\r\\nline2\t\t2")}));
}

TEST(BrvMsgNoDisplay, WithoutLogOrDisplayTheMessageGoesToStderrWithoutBlocking)
{
    // ctest gives every test QT_QPA_PLATFORM; take it and any display away for this call only.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM"), display = qgetenv("DISPLAY"),
                     wayland = qgetenv("WAYLAND_DISPLAY");
    for (const char* v : {"BREVON_MESSAGE_LOG", "QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
        ::unsetenv(v);
    testing::internal::CaptureStderr();
    const std::int32_t shown = BrevonMessage("DLL LOAD ERROR", "BRVREG.DLL not found", nullptr, 0, 1, 0, 0, 0);
    const std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(shown, 0);
    EXPECT_NE(err.find("BRVREG.DLL not found"), std::string::npos);
    for (auto [name, value] :
         {std::pair{"QT_QPA_PLATFORM", platform}, {"DISPLAY", display}, {"WAYLAND_DISPLAY", wayland}})
        if (!value.isNull())
            ::setenv(name, value.constData(), 1);
}
