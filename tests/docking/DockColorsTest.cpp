#include "docking/DockColors.h"

#include <gtest/gtest.h>

TEST(DockColors, DisabledGlyphKeepsTheDarkStrokesInTheInkColour)
{
    QImage glyph(4, 1, QImage::Format_ARGB32);
    glyph.setPixel(0, 0, qRgb(0, 0, 0));        // outline
    glyph.setPixel(1, 0, qRgb(255, 255, 255));  // light fill
    glyph.setPixel(2, 0, qRgb(100, 100, 100));  // grey 100: a stroke
    glyph.setPixel(3, 0, qRgba(0, 0, 0, 0));    // masked out
    const QColor ink(150, 150, 150);

    const QImage out = docking::disabledGlyph(glyph, ink);
    ASSERT_EQ(out.size(), glyph.size());
    EXPECT_EQ(out.pixel(0, 0), ink.rgb());
    EXPECT_EQ(qAlpha(out.pixel(1, 0)), 0);
    EXPECT_EQ(out.pixel(2, 0), ink.rgb());
    EXPECT_EQ(qAlpha(out.pixel(3, 0)), 0);
}
