#include "MainWindowFixture.h"
#include "docking/TToolbarButton.h"
#include "ui/ColorValue.h"
#include "ui/ComColor.h"
#include "ui/SearchPanel.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <iterator>

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

// The glyphs are drawn for a light face. On a dark toolbar the pixels at a glyph's outline (those
// touching the face) must stand out 3:1, or its shape is lost: the printer was #464650 on #323232.
TEST_F(DarkTheme, EveryEnabledGlyphsOutlineStandsOutFromItsToolbar)
{
    writeComment(suite + "Result/COMMENT/COMMENT.001", "一つ目\r\n本文\r\n", 2);
    QApplication::setPalette(darkPalette());
    TForm1& w = open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
    int buttons = 0;
    for (docking::TToolbarButton* b : w.findChildren<docking::TToolbarButton*>()) {
        if (!b->isVisible() || !b->isEnabled() || b->down())  // one held down lies on a chequered face
            continue;
        ++buttons;
        const QImage shot = b->grab().toImage();
        const QColor face = b->palette().color(QPalette::Button);
       
        // An outline pixel touches the face; it is clear when it, or the pixel next to it further in
        // (past a soft edge), stands out 3:1.
        int outline = 0, clear = 0;
        for (int y = 1; y + 1 < shot.height(); ++y) {
            for (int x = 1; x + 1 < shot.width(); ++x) {
                const QColor c = shot.pixelColor(x, y);
                const QColor around[4] = {shot.pixelColor(x - 1, y), shot.pixelColor(x + 1, y),
                                          shot.pixelColor(x, y - 1), shot.pixelColor(x, y + 1)};
                if (c == face || std::find(std::begin(around), std::end(around), face) == std::end(around))
                    continue;
                ++outline;
                double best = ui::contrastRatio(c, face);
                for (const QColor& n : around)
                    best = std::max(best, ui::contrastRatio(n, face));
                clear += best >= 3.0;
            }
        }
        ASSERT_GT(outline, 0) << b->objectName().toStdString();
        EXPECT_GE(double(clear) / outline, 0.8) << b->objectName().toStdString() << ": " << clear << " of " << outline;
    }
    EXPECT_GE(buttons, 6);

    // The search field's clear button, shown once there is text to clear.
    SearchPanel* panel = w.searchPanel();
    panel->show();
    panel->Edit->setText(QStringLiteral("日経"));
    auto* clearButton = panel->Edit->findChild<QToolButton*>();
    ASSERT_NE(clearButton, nullptr);
    QTest::qWait(400);  // it fades in
    const QImage shot = clearButton->grab().toImage();
    const QColor base = panel->Edit->palette().color(QPalette::Base);
    int strong = 0;
    for (int y = 0; y < shot.height(); ++y)
        for (int x = 0; x < shot.width(); ++x)
            strong += ui::contrastRatio(shot.pixelColor(x, y), base) >= 3.0;
    EXPECT_GE(strong, 30) << "pixels of the clear button standing out 3:1 from the field";
}
