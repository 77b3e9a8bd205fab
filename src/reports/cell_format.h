#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

#include <cstdint>
#include <optional>

// The number, date and time formats of the grid, the results files and the
// status texts, in one place. Numbers and dates follow the default QLocale,
// which is the system's unless a test pins it.
namespace CellFormat {

// Formats with a picture such as "###,###,##0.00", "#0", "0.00", "###,##0",
// "########0.00": grouping when the picture has a ",", as many decimals as it
// has digit places after the ".". Halves round away from zero.
QString formatNumber(double value, const QString& picture);

// Left padding with blanks to the given width; longer texts stay whole.
QString padLeft(const QString& text, int width = 15);
// "1 directory", "2,079 directories": the count in the locale's digits.
QString counted(std::uint64_t count, const char* one, const char* many);

// The shortest general form used for hidden sort keys: no grouping, up to 15
// significant digits.
QString plainNumber(double value);

// The value of a cell that is a number by the locale's conventions; blanks
// around it and thousands separators between groups of three digits are
// allowed. Empty for any other text, dates included.
std::optional<double> numberValue(const QString& text);
inline bool isNumber(const QString& text) { return numberValue(text).has_value(); }

// A figure cell as files and the clipboard take it: a number without
// thousands separators, "########0.00" when it shows the locale's decimal
// point, else "########0"; any other text trimmed.
QString plainFigure(const QString& text);

// The locale's short date, always with a four-digit year.
QString shortDateFormat();
QString shortDate(const QDate& date);
// Reads a date typed in the short date format or in ISO 8601 (2003-09-29).
// Two-digit years fall in 1930 to 2029. Invalid when it cannot, and for a
// year before 1.
QDate parseShortDate(const QString& text);
// The local date and time of a file time in seconds since the epoch. Times
// beyond the years 1 and 9999 are held at those ends, so any 64-bit time
// gives a date that prints and sorts.
struct LocalTime {
    QDate date;
    QTime time;
};
LocalTime localTime(std::int64_t secondsSinceEpoch);
// "hh:mm AP".
QString mediumTime(const QTime& time);
// The locale's long time, without a time zone.
QString longTime(const QTime& time);
// Short date, a blank, long time.
QString generalDate(const QDateTime& when);

} // namespace CellFormat
