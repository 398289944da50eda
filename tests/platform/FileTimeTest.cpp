#include "platform/FileTestSupport.h"
#include "platform/FileTime.h"

#include <gtest/gtest.h>

using namespace platform;
using testsupport::utcSeconds;

namespace {

class FileTimeTest : public ::testing::Test {
    testsupport::JapanTime japan_;
};

TEST_F(FileTimeTest, DateTimeValueIsLocalDaysSince1899ToTheMillisecond)
{
    // 2024-05-01 01:02:03.456789 UTC is 10:02:03.456 in Japan; 2024-05-01 is day 45413.
    const FileTime t{utcSeconds(2024, 5, 1, 1, 2, 3), 456'789'000};
    const double expected = 45413 + (10 * 3600 + 2 * 60 + 3) / 86400.0 + 0.456 / 86400.0;
    EXPECT_NEAR(toLocalDateTime(t), expected, 1e-9);
    const auto d = decodeDateTime(toLocalDateTime(t));
    EXPECT_EQ(d.year, 2024);
    EXPECT_EQ(d.month, 5);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 10);
    EXPECT_EQ(d.minute, 2);
    EXPECT_EQ(d.second, 3);
    EXPECT_EQ(d.millisecond, 456);
}

TEST_F(FileTimeTest, LocalMidnightCrossesTheDate)
{
    // 15:30 UTC on 31 Dec 1999 is already 1 Jan 2000 in Japan.
    const auto d = decodeDateTime(toLocalDateTime({utcSeconds(1999, 12, 31, 15, 30), 0}));
    EXPECT_EQ(d.year, 2000);
    EXPECT_EQ(d.month, 1);
    EXPECT_EQ(d.day, 1);
    EXPECT_EQ(d.hour, 0);
    EXPECT_EQ(d.minute, 30);
}

TEST_F(FileTimeTest, DatesBefore1899SubtractTheTimeOfDay)
{
    EXPECT_DOUBLE_EQ(encodeDateTime({1899, 12, 29, 6, 0, 0, 0}), -1.25);
    EXPECT_DOUBLE_EQ(encodeDateTime({1899, 12, 30, 12, 0, 0, 0}), 0.5);
    const auto d = decodeDateTime(-1.25);
    EXPECT_EQ(d.day, 29);
    EXPECT_EQ(d.hour, 6);
}

TEST_F(FileTimeTest, DosDateTimePacksLocalTimeInTwoSecondSteps)
{
    const std::uint32_t expected = (44u << 25) | (5u << 21) | (1u << 16) | (10u << 11) | (2u << 5) | 1u;
    EXPECT_EQ(toDosDateTime({utcSeconds(2024, 5, 1, 1, 2, 3), 999'000'000}), expected);
    EXPECT_EQ(toDosDateTime({utcSeconds(2024, 5, 1, 1, 2, 2), 0}), expected);
}

TEST_F(FileTimeTest, DosDateTimeClampsOutsideItsRange)
{
    const std::uint32_t first = (1u << 21) | (1u << 16);
    EXPECT_EQ(toDosDateTime({utcSeconds(1975, 6, 1), 0}), first);
    EXPECT_EQ(toDosDateTime({utcSeconds(2200, 1, 1), 0}) >> 25, 127u);
    // Still 1979 in universal time, already 1980-01-01 00:00:02 in Japan: packed, not clamped.
    EXPECT_EQ(toDosDateTime({utcSeconds(1980, 1, 1, 0, 0, 0) - 9 * 3600 + 2, 0}), first | 1u);
}

}  // namespace
