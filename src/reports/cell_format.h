#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QTime>

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

// The shortest general form used for hidden sort keys: no grouping, up to 15
// significant digits.
QString plainNumber(double value);

// The value of a cell that is a number by the locale's conventions; blanks
// around it and thousands separators are allowed. Empty for any other text.
std::optional<double> numberValue(const QString& text);
inline bool isNumber(const QString& text) { return numberValue(text).has_value(); }

// The locale's short date, always with a four-digit year.
QString shortDateFormat();
QString shortDate(const QDate& date);
// Reads a date typed in the short date format (two-digit years too) or in
// ISO 8601 (2003-09-29); invalid when it cannot.
QDate parseShortDate(const QString& text);
// "hh:mm AP".
QString mediumTime(const QTime& time);
// The locale's long time, without a time zone.
QString longTime(const QTime& time);
// Short date, a blank, long time.
QString generalDate(const QDateTime& when);

} // namespace CellFormat
