#include "reports/cell_format.h"

#include <QLocale>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>
#include <ctime>

namespace CellFormat {

namespace {

struct Picture {
    int decimals = 0;
    bool grouped = false;
};

Picture readPicture(const QString& picture) {
    Picture p;
    p.grouped = picture.contains(QLatin1Char(','));
    const qsizetype point = picture.indexOf(QLatin1Char('.'));
    if (point >= 0)
        p.decimals = int(picture.size() - point - 1);
    return p;
}

// Rounds the value as its 15-digit decimal form reads, so 4.005 becomes 4.01
// although the nearest double lies just below it.
double roundHalfAway(double value, int decimals) {
    const double scale = decimals == 0 ? 1.0 : std::pow(10.0, decimals);
    const double scaled = value * scale;
    // Reading the value to 15 digits moves it by far less than 1e-13 of
    // itself. Unless it lies that close to a half, it rounds the same either
    // way, without the detour through text that costs more than the rest.
    const double magnitude = std::fabs(scaled);
    const double fraction = magnitude - std::floor(magnitude);
    if (magnitude < 1e15 && std::fabs(fraction - 0.5) > 1e-13 * std::max(1.0, magnitude))
        return std::round(scaled) / scale;
    return std::round(QString::number(scaled, 'g', 15).toDouble()) / scale;
}

// The format with every run of "y" made "yyyy".
QString withFourDigitYears(const QString& format) {
    QString out;
    out.reserve(format.size() + 4);
    for (qsizetype i = 0; i < format.size(); ++i) {
        if (format[i] != QLatin1Char('y')) {
            out += format[i];
            continue;
        }
        while (i + 1 < format.size() && format[i + 1] == QLatin1Char('y'))
            ++i;
        out += QLatin1String("yyyy");
    }
    return out;
}

// The numeric fields (day, month, year) of a date format, in order, and
// which of them is the year (-1: none). Month and day names are not numeric.
struct NumericDateFields {
    int count = 0;
    int year = -1;
};

NumericDateFields numericDateFields(const QString& format) {
    NumericDateFields fields;
    qsizetype i = 0;
    while (i < format.size()) {
        const QChar c = format[i];
        qsizetype run = 1;
        if (c == QLatin1Char('\'')) { // a quoted literal
            const qsizetype close = format.indexOf(QLatin1Char('\''), i + 1);
            i = close < 0 ? format.size() : close + 1;
            continue;
        }
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == QLatin1Char('y'))
            fields.year = fields.count++;
        else if ((c == QLatin1Char('d') || c == QLatin1Char('M')) && run <= 2)
            ++fields.count;
        i += run;
    }
    return fields;
}

// The text with the century put before a two-digit year, "20" up to 29 and
// "19" from 30; empty when the text has no two-digit year where the format
// has its year. Reading the four digits, not shifting a parsed 19xx date,
// keeps 2/29/00 the leap day of 2000.
QString withCentury(const QString& text, const QString& format) {
    const NumericDateFields fields = numericDateFields(format);
    const QRegularExpression digits(QStringLiteral("\\d+"));
    QList<QRegularExpressionMatch> runs;
    for (QRegularExpressionMatchIterator it = digits.globalMatch(text); it.hasNext();)
        runs.append(it.next());
    if (fields.year < 0 || runs.size() != fields.count || runs[fields.year].capturedLength() != 2)
        return {};
    const QRegularExpressionMatch& year = runs[fields.year];
    const QString century = year.captured().toInt() < 30 ? QStringLiteral("20") : QStringLiteral("19");
    return QString(text).insert(year.capturedStart(), century);
}

} // namespace

QString formatNumber(double value, const QString& picture) {
    const Picture p = readPicture(picture);
    QLocale locale;
    locale.setNumberOptions(p.grouped ? QLocale::DefaultNumberOptions
                                      : QLocale::OmitGroupSeparator);
    double rounded = roundHalfAway(value, p.decimals);
    if (rounded == 0.0)
        rounded = 0.0; // no "-0.00"
    return locale.toString(rounded, 'f', p.decimals);
}

QString padLeft(const QString& text, int width) {
    if (text.size() >= width)
        return text;
    return QString(width - text.size(), QLatin1Char(' ')) + text;
}

QString counted(std::uint64_t count, const char* one, const char* many) {
    return QLocale().toString(qulonglong(count)) + QLatin1Char(' ') + QLatin1String(count == 1 ? one : many);
}

QString plainNumber(double value) {
    return QString::number(value, 'g', 15);
}

std::optional<double> numberValue(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    // The locale takes thousands separators only between groups of three
    // digits, so 02.02.2022 is no number where "." groups digits.
    bool ok = false;
    const double value = QLocale().toDouble(trimmed, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

namespace {

bool asciiDigits(QStringView text) {
    return !text.isEmpty() && std::all_of(text.begin(), text.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
}

// A cell as the reports write it, digits grouped by threes with two decimals
// or none, made plain by dropping the separators: the command line does it
// for every figure of every row, and reading the number to write it again
// costs several times more. Anything else is left to the locale's parser.
std::optional<QString> withoutGroups(QStringView text) {
    const QLocale locale;
    const QString group = locale.groupSeparator();
    const QString point = locale.decimalPoint();
    if (locale.zeroDigit() != QLatin1String("0") || group.isEmpty() || point.isEmpty())
        return std::nullopt;
    const qsizetype pointAt = text.indexOf(point);
    const QStringView whole = pointAt < 0 ? text : text.left(pointAt);
    const QStringView decimals = pointAt < 0 ? QStringView() : text.mid(pointAt + point.size());
    if (pointAt >= 0 && (decimals.size() != 2 || !asciiDigits(decimals)))
        return std::nullopt;
    QString plain;
    plain.reserve(text.size());
    qsizetype groups = 0;
    for (const QStringView part : whole.tokenize(group)) {
        const bool first = groups++ == 0;
        if (!asciiDigits(part) || (first ? part.size() > 3 && whole.contains(group) : part.size() != 3))
            return std::nullopt;
        plain += part;
    }
    if (plain.isEmpty() || (plain.size() > 1 && plain.front() == u'0'))
        return std::nullopt;
    if (pointAt >= 0)
        plain += point + decimals.toString();
    return plain;
}

} // namespace

QString plainFigure(const QString& text) {
    if (std::optional<QString> plain = withoutGroups(QStringView(text).trimmed()))
        return *plain;
    const std::optional<double> value = numberValue(text);
    if (!value)
        return text.trimmed();
    const bool decimals = text.contains(QLocale().decimalPoint());
    return formatNumber(*value, decimals ? QStringLiteral("########0.00") : QStringLiteral("########0"));
}

QString shortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    return format.contains(QLatin1String("yyyy")) ? format : withFourDigitYears(format);
}

QString shortDate(const QDate& date) {
    return QLocale().toString(date, shortDateFormat());
}

QDate parseShortDate(const QString& text) {
    const QLocale locale;
    const QString trimmed = text.trimmed();
    const QString format = shortDateFormat();
    // ISO 8601 first: 2003-09-29 reads the same in every locale.
    QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (!date.isValid())
        date = locale.toDate(trimmed, format);
    if (!date.isValid())
        date = locale.toDate(withCentury(trimmed, format), format);
    // The locale's parser takes a minus sign before the year (1/1/-0005).
    return date.isValid() && date.year() > 0 ? date : QDate();
}

LocalTime localTime(std::int64_t secondsSinceEpoch) {
    // A day inside the ends, so no time zone's offset leaves the range.
    constexpr std::int64_t kFirst = -62135596800 + 86400; // 0001-01-02 00:00 UTC
    constexpr std::int64_t kLast = 253402300799 - 86400;  // 9999-12-30 23:59:59 UTC
    if (secondsSinceEpoch < kFirst)
        return {QDate(1, 1, 1), QTime(0, 0)};
    if (secondsSinceEpoch > kLast)
        return {QDate(9999, 12, 31), QTime(23, 59, 59)};
    // Called for every row: the C library's local time is what QDateTime
    // would ask too, without its re-reading of the zone file each time.
    const std::time_t t = std::time_t(secondsSinceEpoch);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return {QDate(1, 1, 1), QTime(0, 0)};
    return {QDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday),
            QTime(local.tm_hour, local.tm_min, std::min(local.tm_sec, 59))};
}

QString mediumTime(const QTime& time) {
    return QLocale().toString(time, QStringLiteral("hh:mm AP"));
}

QString longTime(const QTime& time) {
    QString format = QLocale().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return QLocale().toString(time, format.trimmed());
}

QString generalDate(const QDateTime& when) {
    return shortDate(when.date()) + QLatin1Char(' ') + longTime(when.time());
}

} // namespace CellFormat
