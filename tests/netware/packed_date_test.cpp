#include "netware/client/packed_date.h"

#include <QDateTime>

#include <gtest/gtest.h>

TEST(PackedDateFields, FirstOfJanuary2000) {
    EXPECT_EQ(PackedDate::unpack(0x2821), QDate(2000, 1, 1));
    EXPECT_EQ(PackedDate::pack(QDate(2000, 1, 1)), 0x2821);
    EXPECT_EQ(PackedDate::pack(QDate(1980, 1, 1)), 0x0021);
    EXPECT_EQ(PackedDate::pack(QDate(2023, 12, 31)), (43 << 9) | (12 << 5) | 31);
    EXPECT_EQ(PackedDate::unpack((43 << 9) | (12 << 5) | 31), QDate(2023, 12, 31));
}

TEST(PackedDateRollOver, ZeroMonthAndDayGoBack) {
    EXPECT_EQ(PackedDate::unpack(0), QDate(1979, 11, 30));
    // Month 0 of 2000 is December 1999.
    EXPECT_EQ(PackedDate::unpack((20 << 9) | (0 << 5) | 15), QDate(1999, 12, 15));
    // Day 0 of March is the last of February, in a leap year too.
    EXPECT_EQ(PackedDate::unpack((20 << 9) | (3 << 5) | 0), QDate(2000, 2, 29));
    EXPECT_EQ(PackedDate::unpack((21 << 9) | (3 << 5) | 0), QDate(2001, 2, 28));
}

TEST(PackedDateRange, BeforeNineteenEightyPacksZero) {
    EXPECT_EQ(PackedDate::pack(QDate(1979, 12, 31)), 0);
    EXPECT_EQ(PackedDate::pack(QDate(1970, 1, 1)), 0);
    EXPECT_EQ(PackedDate::pack(QDate()), 0);
}

TEST(PackedDateRange, LateYearsUseTheTopBit) {
    const std::uint16_t y2044 = PackedDate::pack(QDate(2044, 3, 7));
    EXPECT_GE(y2044, 0x8000);
    EXPECT_EQ(y2044, (64u << 9) | (3u << 5) | 7u);
    EXPECT_EQ(PackedDate::unpack(y2044), QDate(2044, 3, 7));
    const std::uint16_t y2107 = PackedDate::pack(QDate(2107, 12, 31));
    EXPECT_GE(y2107, 0x8000);
    EXPECT_EQ(PackedDate::unpack(y2107), QDate(2107, 12, 31));
}

TEST(PackedDateRange, AfterTwentyOneSevenClamps) {
    EXPECT_EQ(PackedDate::pack(QDate(2200, 6, 1)), PackedDate::pack(QDate(2107, 12, 31)));
    EXPECT_EQ(PackedDate::unpack(PackedDate::pack(QDate(2200, 6, 1))), QDate(2107, 12, 31));
    EXPECT_EQ(PackedDate::pack(QDate(2108, 1, 1)), 0xFF9F);
}

TEST(PackedDateTime, UsesTheLocalCalendarDate) {
    // Noon local time is the same calendar day in any zone's view of itself.
    const QDateTime noon(QDate(2021, 6, 15), QTime(12, 0));
    EXPECT_EQ(PackedDate::packTime(noon.toSecsSinceEpoch()), (41 << 9) | (6 << 5) | 15);
    const QDateTime early(QDate(1975, 6, 15), QTime(12, 0));
    EXPECT_EQ(PackedDate::packTime(early.toSecsSinceEpoch()), 0);
}
