#include "scoped_locale.h"
#include "scoped_time_zone.h"

#include "reports/cell_format.h"
#include "reports/fitting_sizes.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <limits>

using namespace CellFormat;

TEST(NumberFormats, GroupedPicturesUseThousandsSeparatorsAndTwoDecimals) {
    EXPECT_EQ(formatNumber(3906.25, "###,###,###,##0.00"), "3,906.25");
    EXPECT_EQ(formatNumber(1234567.891, "###,###,##0.00"), "1,234,567.89");
    EXPECT_EQ(formatNumber(0.004, "###,###,###,##0.00"), "0.00");
    EXPECT_EQ(formatNumber(65001, "###,##0"), "65,001");
    EXPECT_EQ(formatNumber(12, "###,###,##0"), "12");
}

TEST(NumberFormats, UngroupedPicturesHaveNoSeparators) {
    EXPECT_EQ(formatNumber(1234567.891, "########0.00"), "1234567.89");
    EXPECT_EQ(formatNumber(1234567, "########0"), "1234567");
    EXPECT_EQ(formatNumber(1.0, "0.00"), "1.00");
    EXPECT_EQ(formatNumber(25, "#0"), "25");
}

TEST(NumberFormats, HalvesRoundAwayFromZero) {
    EXPECT_EQ(formatNumber(24.5, "#0"), "25");
    EXPECT_EQ(formatNumber(0.125, "0.00"), "0.13");
    EXPECT_EQ(formatNumber(976.5625, "0.00"), "976.56");
    EXPECT_EQ(formatNumber(-0.001, "0.00"), "0.00");
    EXPECT_EQ(formatNumber(4.0 + 0.005, "###,###,##0.00"), "4.01"); // just below 4.005 as a double
    EXPECT_EQ(formatNumber(4.0049, "0.00"), "4.00");
    // Doubles just below a half that their 15-digit reading puts on it.
    EXPECT_EQ(formatNumber(2.675, "0.00"), "2.68");
    EXPECT_EQ(formatNumber(1.005, "0.00"), "1.01");
    EXPECT_EQ(formatNumber(-2.675, "0.00"), "-2.68");
    EXPECT_EQ(formatNumber(1234567.345, "###,###,##0.00"), "1,234,567.35");
    EXPECT_EQ(formatNumber(0.2849999999, "0.00"), "0.28");
}

TEST(NumberFormats, SixteenTerabytesInMegabytesIsNotWrapped) {
    const double bytes = 16.0 * 1024 * 1024 * 1024 * 1024;
    EXPECT_EQ(formatNumber(bytes / 1048576, "###,###,###,##0.00"), "16,777,216.00");
}

TEST(Padding, PadsOnTheLeftToFifteenAndKeepsLongerTextWhole) {
    EXPECT_EQ(padLeft("3,906.25"), "       3,906.25");
    EXPECT_EQ(padLeft("25", 3), " 25");
    EXPECT_EQ(padLeft("1,234,567,890,123.00"), "1,234,567,890,123.00");
}

TEST(PlainNumber, ShortestGeneralForm) {
    EXPECT_EQ(plainNumber(3906.25), "3906.25");
    EXPECT_EQ(plainNumber(1000), "1000");
    EXPECT_EQ(plainNumber(1.0 / 3), "0.333333333333333");
}

TEST(IsNumber, AcceptsSeparatorsAndBlanksRejectsText) {
    EXPECT_EQ(numberValue("       3,906.25"), 3906.25);
    EXPECT_EQ(numberValue("1,234"), 1234.0);
    EXPECT_EQ(numberValue("-12.5"), -12.5);
    EXPECT_FALSE(isNumber("Unavailable"));
    EXPECT_FALSE(isNumber("N/A"));
    EXPECT_FALSE(isNumber(" 25%"));
    EXPECT_FALSE(isNumber(""));
    EXPECT_FALSE(isNumber("   "));
    EXPECT_FALSE(isNumber("12/7/2026"));
    EXPECT_FALSE(isNumber("inf"));
}

TEST(IsNumber, SeparatorsCountOnlyBetweenGroupsOfThree) {
    EXPECT_FALSE(isNumber("02.02.2022"));
    EXPECT_FALSE(isNumber("1,2345"));
    EXPECT_FALSE(isNumber("12,34,567"));
    EXPECT_FALSE(isNumber("1,5"));
    EXPECT_EQ(numberValue("2,097,152"), 2097152.0);
}

TEST(IsNumber, CommaDecimalLocaleSwapsTheSeparators) {
    const ScopedLocale german(ScopedLocale::german());
    EXPECT_EQ(numberValue("2.097.152"), 2097152.0);
    EXPECT_EQ(numberValue("       3.906,25"), 3906.25);
    EXPECT_EQ(numberValue("1,50"), 1.5);
    EXPECT_FALSE(isNumber("02.02.2022"));
    EXPECT_FALSE(isNumber("1.5"));
    EXPECT_FALSE(isNumber("1,000.5"));
}

TEST(PlainFigure, NoSeparatorsTwoDecimalsOnlyWhereTheCellHadThemInTheLocalesForm) {
    struct Case {
        QLocale locale;
        const char* cell;
        const char* written;
    };
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QLocale de = ScopedLocale::german();
    const Case cases[] = {
        {us, "       3,906.25", "3906.25"}, {us, "      2,097,152", "2097152"}, {us, "12.5", "12.50"},
        {us, "  N/A ", "N/A"},             {us, "Unavailable", "Unavailable"}, {us, " 25%", "25%"},
        {de, "       3.906,25", "3906,25"}, {de, "      2.097.152", "2097152"}, {de, "           1,50", "1,50"},
        {de, "12,5", "12,50"},             {de, "02.02.2022", "02.02.2022"},  {de, " 25%", "25%"},
        // Cells the shortcut must leave to the parser, which reads them as before.
        {us, "007", "7"},                  {us, "1,23,456", "1,23,456"},       {us, "1234,567.00", "1234,567.00"},
        {us, "0.00", "0.00"},              {us, "-1,024.50", "-1024.50"},      {us, "1,024.5x", "1,024.5x"},
    };
    for (const Case& c : cases) {
        const ScopedLocale locale(c.locale);
        EXPECT_EQ(plainFigure(c.cell), c.written) << c.locale.name().toStdString() << " \"" << c.cell << '"';
    }
}

TEST(Dates, ShortDateHasAFourDigitYear) {
    EXPECT_EQ(shortDateFormat(), "M/d/yyyy");
    EXPECT_EQ(shortDate(QDate(2003, 9, 29)), "9/29/2003");
}

TEST(Dates, ReadsTypedShortDates) {
    EXPECT_EQ(parseShortDate("09/29/2003"), QDate(2003, 9, 29));
    EXPECT_EQ(parseShortDate("9/29/2003"), QDate(2003, 9, 29));
    EXPECT_EQ(parseShortDate(" 1/2/03 "), QDate(2003, 1, 2));
    EXPECT_EQ(parseShortDate("2003-09-29"), QDate(2003, 9, 29));
    EXPECT_EQ(parseShortDate("1/1/1925"), QDate(1925, 1, 1));
    EXPECT_EQ(parseShortDate("1/1/2099"), QDate(2099, 1, 1));
    EXPECT_FALSE(parseShortDate("29/09/2003").isValid());
    EXPECT_FALSE(parseShortDate("YESTERDAY").isValid());
    EXPECT_FALSE(parseShortDate("").isValid());
}

TEST(Dates, TwoDigitYearsFallInNineteenThirtyToTwentyTwentyNine) {
    EXPECT_EQ(parseShortDate("1/1/99"), QDate(1999, 1, 1));
    EXPECT_EQ(parseShortDate("1/1/30"), QDate(1930, 1, 1));
    EXPECT_EQ(parseShortDate("12/31/29"), QDate(2029, 12, 31));
    EXPECT_EQ(parseShortDate("1/1/00"), QDate(2000, 1, 1));
    EXPECT_EQ(parseShortDate("2/29/00"), QDate(2000, 2, 29)); // 1900 had no leap day
    EXPECT_FALSE(parseShortDate("2/29/01").isValid());
}

TEST(Dates, TwoDigitYearsInACommaDecimalLocale) {
    const ScopedLocale german(ScopedLocale::german());
    EXPECT_EQ(parseShortDate("31.12.99"), QDate(1999, 12, 31));
    EXPECT_EQ(parseShortDate("01.01.29"), QDate(2029, 1, 1));
    EXPECT_EQ(parseShortDate("02.02.2022"), QDate(2022, 2, 2));
    EXPECT_EQ(parseShortDate("2003-09-29"), QDate(2003, 9, 29));
    EXPECT_EQ(shortDate(QDate(2022, 2, 2)), "02.02.2022");
}

TEST(Dates, YearsBeforeOneAreRefused) {
    EXPECT_FALSE(parseShortDate("1/1/-0005").isValid());
    EXPECT_FALSE(parseShortDate("1/1/-5").isValid());
    const ScopedLocale german(ScopedLocale::german());
    EXPECT_FALSE(parseShortDate("01.01.-0005").isValid());
}

TEST(FileTimes, AnySixtyFourBitTimeGivesADate) {
    const QDateTime noon(QDate(2022, 2, 2), QTime(12, 0));
    EXPECT_EQ(localTime(noon.toSecsSinceEpoch()).date, noon.date());
    EXPECT_EQ(localTime(noon.toSecsSinceEpoch()).time, noon.time());
    EXPECT_EQ(localTime(std::numeric_limits<std::int64_t>::max()).date, QDate(9999, 12, 31));
    EXPECT_EQ(localTime(67768036191676799).date, QDate(9999, 12, 31));
    EXPECT_EQ(localTime(std::numeric_limits<std::int64_t>::min()).date, QDate(1, 1, 1));
    EXPECT_EQ(shortDate(localTime(std::numeric_limits<std::int64_t>::max()).date), "12/31/9999");
}

TEST(FileTimes, LocalTimeIsWhatQDateTimeSaysAcrossAYear) {
    const ScopedTimeZone berlin("Europe/Berlin");
    // Every 7 hours 13 minutes 17 seconds through 2021, both changes of
    // daylight saving time included.
    const std::int64_t start = QDateTime(QDate(2021, 1, 1), QTime(0, 0)).toSecsSinceEpoch();
    for (std::int64_t t = start; t < start + 366 * 86400; t += 7 * 3600 + 13 * 60 + 17) {
        const QDateTime expected = QDateTime::fromSecsSinceEpoch(t);
        const LocalTime got = localTime(t);
        ASSERT_EQ(got.date, expected.date()) << t;
        ASSERT_EQ(got.time, expected.time()) << t;
    }
}

TEST(Times, MediumAndLongTimeAndGeneralDate) {
    EXPECT_EQ(mediumTime(QTime(14, 5)), "02:05 PM");
    EXPECT_EQ(longTime(QTime(9, 7, 3)), "9:07:03 AM");
    EXPECT_EQ(generalDate(QDateTime(QDate(2026, 12, 7), QTime(23, 59, 58))), "12/7/2026 11:59:58 PM");
}

TEST(FittingSizes, EachSizeInTheUnitThatKeepsItUnder1024) {
    EXPECT_EQ(FittingSizes::of(512), "512 B");
    EXPECT_EQ(FittingSizes::of(1536), "1.50 KB");
    EXPECT_EQ(FittingSizes::of(3.0 * 1048576), "3.00 MB");
    EXPECT_EQ(FittingSizes::of(-2.5 * 1073741824.0), "-2.50 GB");
    EXPECT_EQ(FittingSizes::of(1.1 * 1099511627776.0), "1.10 TB");
    // A megabyte column's cell, a byte column's cell, and the exact figure when there is one.
    EXPECT_EQ(FittingSizes::cell("Size(MB)", "      1,024.00"), "1.00 GB");
    EXPECT_EQ(FittingSizes::cell("Size", "      2,048"), "2.00 KB");
    EXPECT_EQ(FittingSizes::cell("Size(MB)", "      0.00", 700), "700 B");
    EXPECT_EQ(FittingSizes::cell("Change %", "New"), "New");
    EXPECT_EQ(FittingSizes::heading("Used Space(MB)"), "Used Space");
    const ScopedLocale german(ScopedLocale::german());
    EXPECT_EQ(FittingSizes::of(1536), "1,50 KB");
    EXPECT_EQ(FittingSizes::cell("Size(MB)", "1.024,00"), "1,00 GB");
}
