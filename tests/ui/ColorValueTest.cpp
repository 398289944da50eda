#include "ui/ColorValue.h"
#include "support/TestApplication.h"

#include <QApplication>
#include <QPlainTextEdit>

#include <gtest/gtest.h>

namespace {

using testsupport::app;

constexpr settings::ColorValue sys(unsigned index) { return static_cast<settings::ColorValue>(0xFF000000u + index); }

}  // namespace

TEST(ColorValue, ExplicitValuesKeepRedInTheLowByte)
{
    EXPECT_EQ(ui::colorFromValue(0x000000FF, QPalette()), QColor(255, 0, 0));
    EXPECT_EQ(ui::colorFromValue(0x0000FF00, QPalette()), QColor(0, 255, 0));
    EXPECT_EQ(ui::colorFromValue(0x00FF0000, QPalette()), QColor(0, 0, 255));
    EXPECT_EQ(ui::colorFromValue(0x00123456, QPalette()), QColor(0x56, 0x34, 0x12));
    EXPECT_EQ(ui::colorFromValue(0, QPalette()), QColor(Qt::black));

    EXPECT_EQ(ui::valueFromColor(QColor(0x56, 0x34, 0x12)), 0x00123456);
    EXPECT_EQ(ui::valueFromColor(QColor(255, 255, 255)), 0x00FFFFFF);
    // Alpha and other colour models do not leak into the stored value.
    EXPECT_EQ(ui::valueFromColor(QColor(0x56, 0x34, 0x12, 7)), 0x00123456);
    EXPECT_EQ(ui::valueFromColor(QColor::fromHsv(0, 255, 255)), 0x000000FF);
}

TEST(ColorValue, SystemColoursFollowThePalette)
{
    QPalette palette;
    palette.setColor(QPalette::Base, QColor(1, 2, 3));
    palette.setColor(QPalette::Text, QColor(4, 5, 6));
    palette.setColor(QPalette::Button, QColor(7, 8, 9));
    palette.setColor(QPalette::Highlight, QColor(10, 11, 12));

    // The stored default -16777211 is 0xFF000005, the window background.
    EXPECT_EQ(settings::kSystemWindowColor, -16777211);
    EXPECT_TRUE(ui::isSystemColor(settings::kSystemWindowColor));
    EXPECT_FALSE(ui::isSystemColor(0x00FFFFFF));
    EXPECT_EQ(ui::colorFromValue(settings::kSystemWindowColor, palette), QColor(1, 2, 3));
    EXPECT_EQ(ui::colorFromValue(sys(8), palette), QColor(4, 5, 6));      // window text
    EXPECT_EQ(ui::colorFromValue(sys(15), palette), QColor(7, 8, 9));     // button face
    EXPECT_EQ(ui::colorFromValue(sys(13), palette), QColor(10, 11, 12));  // highlight
    // Any value with the high bit set names a system index in its low byte.
    EXPECT_EQ(ui::colorFromValue(static_cast<settings::ColorValue>(0x80000005u), palette), QColor(1, 2, 3));
    // Indices with nothing behind them come out black, never garbage.
    EXPECT_EQ(ui::colorFromValue(sys(25), palette), QColor(Qt::black));
    EXPECT_EQ(ui::colorFromValue(sys(200), palette), QColor(Qt::black));

    // Chosen from the palette or not, a colour is stored in the explicit form.
    EXPECT_EQ(ui::valueFromColor(ui::colorFromValue(settings::kSystemWindowColor, palette)), 0x00030201);
}

TEST(ColorValue, ApplyingColoursToAViewIgnoresItsEarlierColours)
{
    app();
    QPlainTextEdit view;
    ui::applyColors(&view, 0x000000FF, 0x00FF0000);
    EXPECT_EQ(view.palette().color(QPalette::Base), QColor(255, 0, 0));
    EXPECT_EQ(view.palette().color(QPalette::Text), QColor(0, 0, 255));
    // Back to the defaults: the system colours are those of the application, not the red above.
    ui::applyColors(&view, settings::kSystemWindowColor, 0);
    EXPECT_EQ(view.palette().color(QPalette::Base), QApplication::palette().color(QPalette::Base));
    EXPECT_EQ(view.palette().color(QPalette::Text), QColor(Qt::black));
}

TEST(ColorValue, ContrastIsTheWcagRatioOfRelativeLuminances)
{
    EXPECT_NEAR(ui::contrastRatio(Qt::black, Qt::white), 21.0, 1e-9);
    EXPECT_NEAR(ui::contrastRatio(Qt::white, Qt::black), 21.0, 1e-9);
    EXPECT_NEAR(ui::contrastRatio(QColor(0x77, 0x77, 0x77), QColor(0x77, 0x77, 0x77)), 1.0, 1e-9);
    // #777777: luminance 0.1845, (1.05) / (0.2345) = 4.48, just short of body text's 4.5.
    EXPECT_NEAR(ui::contrastRatio(QColor(0x77, 0x77, 0x77), Qt::white), 4.48, 0.005);
    // The faint tint the list's current row used to get, and an accent blue, on white.
    EXPECT_NEAR(ui::contrastRatio(QColor(0xE7, 0xF3, 0xFA), Qt::white), 1.13, 0.005);
    EXPECT_NEAR(ui::contrastRatio(QColor(0x30, 0x8C, 0xC6), Qt::white), 3.69, 0.005);
}

TEST(ColorValue, OnlyTheDefaultPairFollowsTheDesktopsViewColours)
{
    QPalette dark;
    dark.setColor(QPalette::Base, QColor(30, 30, 30));
    dark.setColor(QPalette::Text, QColor(220, 220, 220));
    const auto [back, text] = ui::effectiveColors(settings::kSystemWindowColor, 0, dark);
    EXPECT_EQ(back, QColor(30, 30, 30));
    EXPECT_EQ(text, QColor(220, 220, 220));

    // A chosen text colour stays; the background is still the system colour.
    const ui::ViewColors chosenText = ui::effectiveColors(settings::kSystemWindowColor, 0x000000FF, dark);
    EXPECT_EQ(chosenText.background, QColor(30, 30, 30));
    EXPECT_EQ(chosenText.text, QColor(255, 0, 0));
    // A chosen background keeps the black text it was chosen against.
    const ui::ViewColors chosenBack = ui::effectiveColors(0x0000FFFF, 0, dark);
    EXPECT_EQ(chosenBack.background, QColor(255, 255, 0));
    EXPECT_EQ(chosenBack.text, QColor(Qt::black));
}

TEST(ColorValue, CurrentRowFrameUsesTheAccentOnlyWhereItStandsOut)
{
    const QColor accent(0x30, 0x8C, 0xC6);
    EXPECT_EQ(ui::focusFrameColor(Qt::white, Qt::black, accent), accent);  // 3.69:1
    // On a selected row the accent is the row's own colour: its text colour marks it.
    EXPECT_EQ(ui::focusFrameColor(accent, Qt::white, accent), QColor(Qt::white));
    EXPECT_EQ(ui::focusFrameColor(Qt::white, Qt::black, QColor(0xE7, 0xF3, 0xFA)), QColor(Qt::black));
}
