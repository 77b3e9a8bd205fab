#include "reports/date_filter.h"
#include "reports/cell_format.h"

#include "scoped_locale.h"
#include "scoped_time_zone.h"

#include "netware/client/packed_date.h"

#include <QDateTime>

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>
#include <limits>

namespace {

SearchSettings dateSearch(const QString& comparison, const QString& selected, const QString& end = {}) {
    SearchSettings s = SearchSettings::withDefaults(CellFormat::shortDate(QDate(2026, 12, 7)));
    s.tabSearch = ReportKind::Date;
    s.cmbDate.text = comparison;
    s.txtSelectedDate = selected;
    s.txtEndDate = end;
    return s;
}

std::int64_t noonOf(const QDate& date) {
    return QDateTime(date, QTime(12, 0)).toSecsSinceEpoch();
}

} // namespace

TEST(GetDate, DecodesPackedDatesWithRollOver) {
    EXPECT_EQ(fcnGetDate(0x2821), "1/1/2000");
    EXPECT_EQ(fcnDaysSince1990(QDate(2000, 1, 1)), 3652);
    EXPECT_EQ(fcnGetDate(0), "11/30/1979");
    EXPECT_EQ(fcnDaysSince1990(QDate(1979, 11, 30)), -3685);
    EXPECT_EQ(fcnDaysSince1990(QDate(1990, 1, 2)), 1);
    EXPECT_EQ(fcnDaysSince1990(QDate(1989, 12, 31)), -1);
}

TEST(DateComparison, OlderAndNewerExcludeTheSameDay) {
    const DateFilter older(dateSearch("Older than", "6/15/2020"));
    EXPECT_TRUE(older.keeps(QDate(2020, 6, 14)));
    EXPECT_FALSE(older.keeps(QDate(2020, 6, 15)));
    EXPECT_FALSE(older.keeps(QDate(2020, 6, 16)));
    const DateFilter newer(dateSearch("Newer than", "2020-06-15"));
    EXPECT_TRUE(newer.keeps(QDate(2020, 6, 16)));
    EXPECT_FALSE(newer.keeps(QDate(2020, 6, 15)));
}

TEST(DateComparison, BetweenIncludesBothEndsInEitherOrder) {
    for (const auto& [first, second] : {std::pair{"1/1/2020", "1/31/2020"}, std::pair{"1/31/2020", "1/1/2020"}}) {
        const DateFilter between(dateSearch("Between", first, second));
        EXPECT_TRUE(between.keeps(QDate(2020, 1, 1)));
        EXPECT_TRUE(between.keeps(QDate(2020, 1, 31)));
        EXPECT_TRUE(between.keeps(QDate(2020, 1, 15)));
        EXPECT_FALSE(between.keeps(QDate(2019, 12, 31)));
        EXPECT_FALSE(between.keeps(QDate(2020, 2, 1)));
    }
    EXPECT_TRUE(DateFilter(dateSearch("Between", "3/3/2021", "3/3/2021")).keeps(QDate(2021, 3, 3)));
}

TEST(DateComparison, TwoDigitYearsAreReadInTheirCentury) {
    const DateFilter older(dateSearch("Older than", "1/1/99"));
    EXPECT_TRUE(older.keeps(QDate(1998, 12, 31)));
    EXPECT_FALSE(older.keeps(QDate(2000, 1, 1)));
    const DateFilter between(dateSearch("Between", "6/1/29", "6/1/30"));
    EXPECT_TRUE(between.keeps(QDate(1980, 1, 1)));
    EXPECT_TRUE(between.keeps(QDate(2029, 6, 1)));
    EXPECT_FALSE(between.keeps(QDate(2029, 6, 2)));
    EXPECT_FALSE(between.keeps(QDate(1930, 5, 31)));
}

TEST(DateComparison, TypedDatesInACommaDecimalLocale) {
    const ScopedLocale german(ScopedLocale::german());
    const DateFilter between(dateSearch("Between", "01.01.99", "31.12.2001"));
    EXPECT_TRUE(between.keeps(QDate(1999, 1, 1)));
    EXPECT_TRUE(between.keeps(QDate(2001, 12, 31)));
    EXPECT_FALSE(between.keeps(QDate(2099, 1, 1)));
    EXPECT_EQ(fcnGetDate(0x2821), "01.01.2000");
}

TEST(DateComparison, UnreadableDatesAndOtherComparisonsKeepNothing) {
    EXPECT_FALSE(DateFilter(dateSearch("Older than", "1/1/-0005")).keeps(QDate(1, 1, 1).addYears(-10)));
    EXPECT_FALSE(DateFilter(dateSearch("Older than", "soon")).keeps(QDate(2000, 1, 1)));
    EXPECT_FALSE(DateFilter(dateSearch("Between", "1/1/2020", "")).keeps(QDate(2020, 1, 1)));
    EXPECT_FALSE(DateFilter(dateSearch("Sometime", "1/1/2020")).keeps(QDate(2000, 1, 1)));
}

TEST(DateBasis, FarFutureAndPastTimesClampToThePackableDays) {
    WalkedFile file;
    file.mtime = std::numeric_limits<std::int64_t>::max();
    file.atime = std::numeric_limits<std::int64_t>::min();
    SearchSettings s = dateSearch("Newer than", "1/1/2100");
    s.dateOption = DateOption::optModifyDate;
    const DateFilter modified(s);
    EXPECT_EQ(fcnGetDate(modified.packedDateOf(file)), "12/31/2107");
    EXPECT_TRUE(modified.keepsPacked(modified.packedDateOf(file)));
    s.dateOption = DateOption::optAccessDate;
    EXPECT_EQ(fcnGetDate(DateFilter(s).packedDateOf(file)), "1/1/1980");
}

TEST(DateBasis, EachBasisTakesItsOwnDate) {
    WalkedFile file;
    file.mtime = noonOf(QDate(2001, 2, 3));
    file.atime = noonOf(QDate(2004, 5, 6));
    SearchSettings s = dateSearch("Older than", "1/1/2030");
    s.dateOption = DateOption::optAccessDate;
    EXPECT_EQ(fcnGetDate(DateFilter(s).packedDateOf(file)), "5/6/2004");
    s.dateOption = DateOption::optModifyDate;
    EXPECT_EQ(fcnGetDate(DateFilter(s).packedDateOf(file)), "2/3/2001");
    s.dateOption = DateOption::optCreationDate;
    EXPECT_EQ(DateFilter(s).packedDateOf(file), 0); // no birth time recorded
    file.btime = noonOf(QDate(1999, 9, 9));
    EXPECT_EQ(fcnGetDate(DateFilter(s).packedDateOf(file)), "9/9/1999");
}

TEST(DateComparison, PackedComparisonsAgreeWithTheCalendar) {
    const QList<QDate> days = {QDate(1979, 11, 30), QDate(1980, 1, 1), QDate(1999, 12, 31), QDate(2000, 1, 1),
                               QDate(2020, 6, 14), QDate(2020, 6, 15), QDate(2020, 6, 16), QDate(2044, 1, 1),
                               QDate(2107, 12, 31)};
    const QList<SearchSettings> filters = {dateSearch("Older than", "6/15/2020"), dateSearch("Newer than", "6/15/2020"),
                                           dateSearch("Between", "6/16/2020", "1/1/1980"),
                                           dateSearch("Between", "1/1/1970", "1/1/2000"),
                                           dateSearch("Older than", "1/1/1975"), dateSearch("Newer than", "1/1/2050")};
    for (const SearchSettings& s : filters) {
        const DateFilter filter(s);
        for (const QDate& day : days) {
            const std::uint16_t packed = PackedDate::pack(day);
            EXPECT_EQ(filter.keepsPacked(packed), filter.keeps(PackedDate::unpack(packed)))
                << s.cmbDate.text.toStdString() << " " << s.txtSelectedDate.toStdString() << " "
                << day.toString(Qt::ISODate).toStdString();
        }
        // 0, no date recorded, is the only packed value before 1980.
        EXPECT_EQ(filter.keepsPacked(0), filter.keeps(QDate(1979, 11, 30)));
    }
}

TEST(DateComparison, TimesFarFromTheEdgesAreDecidedAsTheirPackedDates) {
    // Daylight saving time shifts local days by an hour twice a year here.
    const ScopedTimeZone berlin("Europe/Berlin");
    const QList<SearchSettings> filters = {dateSearch("Older than", "3/28/2021"), dateSearch("Newer than", "10/31/2021"),
                                           dateSearch("Between", "10/31/2021", "3/27/2021"),
                                           dateSearch("Older than", "1/1/1980"), dateSearch("Newer than", "12/31/2107"),
                                           dateSearch("Between", "1/1/1980", "1/2/1980")};
    const std::int64_t start = QDateTime(QDate(2020, 12, 1), QTime(0, 0)).toSecsSinceEpoch();
    std::vector<std::int64_t> times = {std::numeric_limits<std::int64_t>::min(), -1, 0, 315532799, 315532800,
                                       4354819199, std::numeric_limits<std::int64_t>::max()};
    // Every 53 minutes 7 seconds for a year and a half, both changes included.
    for (std::int64_t t = start; t < start + 550 * 86400; t += 53 * 60 + 7)
        times.push_back(t);
    for (const SearchSettings& s : filters) {
        for (const DateOption basis : {DateOption::optModifyDate, DateOption::optAccessDate, DateOption::optCreationDate}) {
            SearchSettings withBasis = s;
            withBasis.dateOption = basis;
            const DateFilter filter(withBasis);
            for (const std::int64_t t : times) {
                WalkedFile file;
                file.mtime = t;
                file.atime = t;
                file.btime = t;
                ASSERT_EQ(filter.keepsFile(file), filter.keepsPacked(filter.packedDateOf(file)))
                    << s.cmbDate.text.toStdString() << " " << s.txtSelectedDate.toStdString() << " at " << t;
            }
        }
    }
}
