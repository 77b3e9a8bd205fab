#include "netware/client/packed_date.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

namespace {

std::int64_t noonOf(const QDate& date) {
    return QDateTime(date, QTime(12, 0)).toSecsSinceEpoch();
}

} // namespace

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

TEST(PackedDateRange, BeforeNineteenEightyPacksAsItsFirstDay) {
    EXPECT_EQ(PackedDate::pack(QDate(1979, 12, 31)), 0x0021);
    EXPECT_EQ(PackedDate::pack(QDate(1970, 1, 1)), 0x0021);
    EXPECT_EQ(PackedDate::unpack(PackedDate::pack(QDate(1, 1, 1))), QDate(1980, 1, 1));
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
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(2021, 6, 15))), (41 << 9) | (6 << 5) | 15);
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(1975, 6, 15))), PackedDate::kEarliest);
}

TEST(PackedDateTime, TheFirstAndLastPackableDaysAreTheirOwn) {
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(1979, 12, 31))), PackedDate::kEarliest);
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(1980, 1, 1))), PackedDate::kEarliest);
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(1980, 1, 2))), 0x0022);
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(2107, 12, 30))), PackedDate::kLatest - 1);
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(2107, 12, 31))), PackedDate::kLatest);
    EXPECT_EQ(PackedDate::packTime(noonOf(QDate(2108, 1, 1))), PackedDate::kLatest);
    EXPECT_EQ(PackedDate::unpack(PackedDate::kLatest), QDate(2107, 12, 31));
}

TEST(PackedDateTime, AnySixtyFourBitTimeClampsWithoutOverflow) {
    // Times tmpfs can hold: the C library's broken-down year is an int, and
    // the last of these is the last second of the year 2,147,485,547.
    for (const std::int64_t yearTwoBillion : {67767976233316800, 67768036191676799}) {
        EXPECT_EQ(PackedDate::packTime(yearTwoBillion), PackedDate::kLatest);
        EXPECT_EQ(PackedDate::packTime(-yearTwoBillion), PackedDate::kEarliest);
    }
    EXPECT_EQ(PackedDate::packTime(std::numeric_limits<std::int64_t>::max()), PackedDate::kLatest);
    EXPECT_EQ(PackedDate::packTime(std::numeric_limits<std::int64_t>::min()), PackedDate::kEarliest);
    EXPECT_EQ(PackedDate::packTime(0), PackedDate::kEarliest);
}
