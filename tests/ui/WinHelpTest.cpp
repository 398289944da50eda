#include "platform/qt/WinHelp.h"
#include "support/TestApplication.h"

#include <QAccessible>
#include <QApplication>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
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

// A screen reader meets a window named by its topic holding a document it reads line by line as
// the caret moves; Tab reaches the links, Enter follows them, Esc closes the window.
TEST_F(WinHelpTest, ThePageIsADocumentReadByLinesWithLinksByTabAndEnter)
{
    platform::WinHelp(platform::HELP_CONTENTS, 0);
    QWidget* window = platform::helpWindow();
    ASSERT_NE(window, nullptr);
    QApplication::setActiveWindow(window);
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    auto* page = qobject_cast<QTextBrowser*>(QApplication::focusWidget());
    ASSERT_NE(page, nullptr);
    QAccessibleInterface* frame = QAccessible::queryAccessibleInterface(window);
    EXPECT_EQ(frame->role(), QAccessible::Window);
    EXPECT_EQ(frame->text(QAccessible::Name), QStringLiteral("ヘルプ - コメント情報 ヘルプ 目次"));
    QAccessibleInterface* document = QAccessible::queryAccessibleInterface(page);
    EXPECT_EQ(document->role(), QAccessible::Document);
    QAccessibleTextInterface* text = document->textInterface();
    ASSERT_NE(text, nullptr);
    auto lineAtCaret = [&] {
        int start = 0, end = 0;
        return text->textAtOffset(text->cursorPosition(), QAccessible::LineBoundary, &start, &end).trimmed();
    };
    EXPECT_EQ(lineAtCaret(), QStringLiteral("コメント情報 ヘルプ"));
    QTest::keyClick(page, Qt::Key_Down);
    const QString paragraph = page->textCursor().block().text();
    ASSERT_TRUE(paragraph.startsWith(QStringLiteral("コメント情報は、")));
    EXPECT_TRUE(paragraph.startsWith(lineAtCaret()));
    EXPECT_LT(lineAtCaret().size(), paragraph.size()) << "a screen line, not the wrapped paragraph";

    QTest::keyClick(page, Qt::Key_Tab);
    EXPECT_EQ(page->textCursor().selectedText(), QStringLiteral("受信したコメントの保存と削除"));
    // What a screen reader speaks on reaching it: a new description of the focused page.
    EXPECT_EQ(document->text(QAccessible::Description), QStringLiteral("リンク 受信したコメントの保存と削除"));
    QTest::keyClick(page, Qt::Key_Return);
    EXPECT_EQ(lineAtCaret(), QStringLiteral("受信したコメントの保存と削除"));
    EXPECT_EQ(document->text(QAccessible::Description), QStringLiteral("受信したコメントの保存と削除"));
    EXPECT_FALSE(page->textCursor().hasSelection()) << "the caret went to the section";
    page->moveCursor(QTextCursor::Start);
    for (int i = 0; i < 4; ++i)
        QTest::keyClick(page, Qt::Key_Tab);
    EXPECT_EQ(page->textCursor().selectedText(), QStringLiteral("配色設定"));
    QTest::keyClick(page, Qt::Key_Return);
    EXPECT_EQ(platform::helpTopic(), QStringLiteral("colors.html"));

    QTest::keyClick(page, Qt::Key_Escape);
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
