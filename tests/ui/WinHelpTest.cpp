#include "platform/qt/WinHelp.h"
#include "support/TestApplication.h"

#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QWidget>

#include <gtest/gtest.h>

namespace {

using testsupport::app;

QString page(const QString& name)
{
    QFile f(QStringLiteral(":/help/comment/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

class WinHelpTest : public ::testing::Test {
protected:
    void SetUp() override { app(); }
    void TearDown() override { platform::WinHelp(platform::HELP_QUIT, 0); }
};

}  // namespace

TEST_F(WinHelpTest, ContentsAndTheTwoContextsOpenTheirPages)
{
    EXPECT_EQ(platform::applicationHelpFile(), QStringLiteral("Comment.hlp"));
    EXPECT_TRUE(platform::WinHelp(platform::HELP_CONTENTS, 0));
    ASSERT_NE(platform::helpWindow(), nullptr);
    EXPECT_TRUE(platform::helpWindow()->isVisible());
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("index.html"));

    // One window serves every call.
    QWidget* window = platform::helpWindow();
    EXPECT_TRUE(platform::WinHelp(platform::HELP_CONTEXT, 8));
    EXPECT_EQ(platform::helpWindow(), window);
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("retention.html"));
    EXPECT_TRUE(platform::WinHelp(platform::HELP_CONTEXT, 56));
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("colors.html"));

    // Help left open does not keep the program running after the main window.
    EXPECT_FALSE(window->testAttribute(Qt::WA_QuitOnClose));
}

TEST_F(WinHelpTest, UnknownContextsAndFilesFallBackWithoutFailingTheCaller)
{
    EXPECT_FALSE(platform::WinHelp(platform::HELP_CONTEXT, 9999));
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("index.html"));
    EXPECT_FALSE(platform::WinHelp(QStringLiteral("Nothing.hlp"), platform::HELP_CONTENTS, 0));
    ASSERT_NE(platform::helpWindow(), nullptr);
    EXPECT_TRUE(platform::helpWindow()->isVisible());
    // A path in front of the name and its case do not matter.
    EXPECT_TRUE(platform::WinHelp(QStringLiteral("C:\\Brevon/COMMENT.HLP"), platform::HELP_CONTEXT, 56));
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("colors.html"));
}

TEST_F(WinHelpTest, QuitClosesTheWindow)
{
    platform::WinHelp(platform::HELP_CONTENTS, 0);
    ASSERT_NE(platform::helpWindow(), nullptr);
    platform::WinHelp(platform::HELP_QUIT, 0);
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_EQ(platform::helpWindow(), nullptr);
}

TEST_F(WinHelpTest, PagesAreJapaneseAndEveryLinkLeadsToAPage)
{
    EXPECT_TRUE(page(QStringLiteral("retention.html")).contains(QStringLiteral("保存設定")));
    EXPECT_TRUE(page(QStringLiteral("colors.html")).contains(QStringLiteral("配色設定")));
    int links = 0;
    for (QDirIterator it(QStringLiteral(":/help/comment"), {QStringLiteral("*.html")}); it.hasNext();) {
        const QString name = it.next().section(u'/', -1);
        const QString html = page(name);
        EXPECT_TRUE(html.contains(QStringLiteral("charset=\"utf-8\"")) ||
                    html.contains(QStringLiteral("charset=utf-8")))
            << name.toStdString();
        static const QRegularExpression href(QStringLiteral("href=\"([^\"#]*)(#([^\"]*))?\""));
        for (auto m = href.globalMatch(html); m.hasNext();) {
            const auto link = m.next();
            const QString target = link.captured(1).isEmpty() ? name : link.captured(1);
            const QString body = page(target);
            EXPECT_FALSE(body.isEmpty()) << name.toStdString() << " -> " << target.toStdString();
            if (!link.captured(3).isEmpty()) {
                EXPECT_TRUE(body.contains(QStringLiteral("name=\"%1\"").arg(link.captured(3))))
                    << name.toStdString() << " -> #" << link.captured(3).toStdString();
            }
            ++links;
        }
    }
    EXPECT_GE(links, 8);
}
