#include "MainWindowFixture.h"
#include "ui/ColorValue.h"
#include "ui/ComColor.h"

#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QTest>

namespace {

QPalette darkPalette()
{
    QPalette p(QColor(53, 53, 53));
    p.setColor(QPalette::Window, QColor(53, 53, 53));
    p.setColor(QPalette::WindowText, QColor(230, 230, 230));
    p.setColor(QPalette::Base, QColor(35, 35, 35));
    p.setColor(QPalette::Text, QColor(230, 230, 230));
    p.setColor(QPalette::Highlight, QColor(42, 130, 218));
    p.setColor(QPalette::HighlightedText, Qt::white);
    return p;
}

class DarkTheme : public MainWindowFixture {
protected:
    void SetUp() override
    {
        MainWindowFixture::SetUp();
        light = QApplication::palette();
    }
    void TearDown() override
    {
        QApplication::setPalette(light);
        MainWindowFixture::TearDown();
    }
    static double contrastOf(const QWidget* w)
    {
        return ui::contrastRatio(w->palette().color(QPalette::Text), w->palette().color(QPalette::Base));
    }
    QPalette light;
};

}  // namespace

TEST_F(DarkTheme, DefaultColoursReadLightOnDarkAndFollowAThemeSwitch)
{
    writeComment(suite + "Result/COMMENT/COMMENT.001", "一つ目\r\n本文\r\n", 2);
    QApplication::setPalette(darkPalette());
    TForm1& w = open();
    EXPECT_GE(contrastOf(w.ListBox1), 4.5);
    EXPECT_GE(contrastOf(w.Memo1), 4.5);
    EXPECT_EQ(w.Memo1->palette().color(QPalette::Base), QColor(35, 35, 35));

    // The colour dialog's samples show the same pair.
    settings::SettingsRecord record;
    TForm3 dialog(nullptr, record);
    EXPECT_EQ(dialog.Panel2->palette().color(QPalette::Window), w.Memo1->palette().color(QPalette::Base));
    EXPECT_EQ(dialog.Label4->palette().color(QPalette::WindowText), w.Memo1->palette().color(QPalette::Text));

    QApplication::setPalette(light);
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return w.ListBox1->palette().color(QPalette::Base) == light.color(QPalette::Base); }, 2000));
    EXPECT_EQ(w.Memo1->palette().color(QPalette::Text), light.color(QPalette::Text));
}

TEST_F(DarkTheme, TheListsCurrentRowIsFramedWithContrast)
{
    writeComment(suite + "Result/COMMENT/COMMENT.001", "一つ目\r\n本文\r\n", 2);
    writeComment(suite + "Result/COMMENT/COMMENT.002", "二つ目\r\n本文\r\n", 1);
    QApplication::setPalette(darkPalette());
    TForm1& w = open();
    QApplication::setActiveWindow(&w);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    w.ListBox1->setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return w.ListBox1->hasFocus(); }, 2000));
    ASSERT_GE(w.ListBox1->currentRow(), 0);

    const QImage shot = w.ListBox1->viewport()->grab().toImage();
    const QRect row = w.ListBox1->visualRect(w.ListBox1->currentIndex());
    // Far right of the row, past its short text: the frame's top edge against the row's fill.
    const int x = row.right() - 6;
    const QColor frame = shot.pixelColor(x, row.top());
    const QColor fill = shot.pixelColor(x, row.center().y());
    EXPECT_GE(ui::contrastRatio(frame, fill), 3.0) << frame.name().toStdString() << " on " << fill.name().toStdString();
}
