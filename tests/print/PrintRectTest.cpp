#include "print/PrintRect.h"

#include <gtest/gtest.h>

using print::Margins;
using print::PrinterMetrics;
using print::Rect;

namespace {

// A4 at 600 dpi with a 4 mm unprintable border, as a laser printer reports it.
constexpr PrinterMetrics kLaser{600, 600, 4772, 6826};

}  // namespace

TEST(PrintRect, MarginsInMillimetresBecomeRoundedDotsWithoutRightMargin)
{
    const Rect r = print::printRectangle(Margins{15, 20, 10}, kLaser);
    EXPECT_EQ(r.left, 236);     // 600 / 25.4 * 10 = 236.22
    EXPECT_EQ(r.top, 354);      // 354.33
    EXPECT_EQ(r.right, 4772);   // always the printable width
    EXPECT_EQ(r.bottom, 6354);  // 6826 - 472.44 = 6353.56
}

TEST(PrintRect, MarginsRoundToTheNearestDot)
{
    // Not truncated: 360 / 25.4 * 1 = 14.17, 360 / 25.4 * 3 = 42.52.
    const Rect s = print::printRectangle(Margins{3, 3, 1}, PrinterMetrics{360, 360, 2000, 2000});
    EXPECT_EQ(s.left, 14);
    EXPECT_EQ(s.top, 43);
    EXPECT_EQ(s.bottom, 1957);  // 2000 - 42.52 = 1957.48
}

TEST(PrintRect, DifferentHorizontalAndVerticalResolutions)
{
    const Rect r = print::printRectangle(Margins{10, 10, 10}, PrinterMetrics{600, 300, 4800, 3300});
    EXPECT_EQ(r.left, 236);
    EXPECT_EQ(r.top, 118);      // 118.11
    EXPECT_EQ(r.bottom, 3182);  // 3300 - 118.11
}

TEST(PrintRect, ZeroMarginsAreTheWholePrintableArea)
{
    const Rect r = print::printRectangle(Margins{0, 0, 0}, kLaser);
    EXPECT_EQ(r, (Rect{0, 0, 4772, 6826}));
    EXPECT_EQ(print::layoutRectangle(r, kLaser), r);
}

TEST(PrintRect, OverflowingMarginsFallBackToTheWholePrintableArea)
{
    // Top and bottom meeting exactly leave an empty rectangle.
    const PrinterMetrics square{254, 254, 1000, 1000};  // 10 dots per mm
    const Rect meeting = print::printRectangle(Margins{50, 50, 0}, square);
    EXPECT_EQ(meeting.top, 500);
    EXPECT_EQ(meeting.bottom, 500);
    EXPECT_TRUE(meeting.empty());
    EXPECT_EQ(print::layoutRectangle(meeting, square), (Rect{0, 0, 1000, 1000}));

    EXPECT_EQ(print::layoutRectangle(print::printRectangle(Margins{999, 999, 0}, square), square),
              (Rect{0, 0, 1000, 1000}));
    // A left margin reaching the right edge empties it too.
    const Rect wide = print::printRectangle(Margins{0, 0, 100}, square);
    EXPECT_TRUE(wide.empty());
    EXPECT_EQ(print::layoutRectangle(wide, square), (Rect{0, 0, 1000, 1000}));
    // One dot short of either edge still prints inside the margins.
    const Rect narrow = print::printRectangle(Margins{0, 0, 99}, square);
    EXPECT_FALSE(narrow.empty());
    EXPECT_EQ(print::layoutRectangle(narrow, square), narrow);
}

TEST(PrintRect, TwipsDropTheRemainder)
{
    const PrinterMetrics printer{600, 300, 4772, 3413};
    // 236 * 1440 / 600 = 566.4, 118 * 1440 / 300 = 566.4, 4772 * 2.4 = 11452.8, 3295 * 4.8 = 15816
    EXPECT_EQ(print::toTwips(Rect{236, 118, 4772, 3295}, printer), (Rect{566, 566, 11452, 15816}));
    // Large printable areas at high resolutions do not overflow.
    const PrinterMetrics plotter{2400, 2400, 80000, 110000};
    EXPECT_EQ(print::toTwips(Rect{0, 0, 80000, 110000}, plotter), (Rect{0, 0, 48000, 66000}));
}
