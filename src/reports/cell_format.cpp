#include "reports/cell_format.h"

#include <QLocale>
#include <QRegularExpression>

#include <cmath>

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
    const double scale = std::pow(10.0, decimals);
    return std::round(QString::number(value * scale, 'g', 15).toDouble()) / scale;
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

QString plainNumber(double value) {
    return QString::number(value, 'g', 15);
}

std::optional<double> numberValue(const QString& text) {
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return std::nullopt;
    const QLocale locale;
    QString ungrouped = trimmed;
    ungrouped.remove(locale.groupSeparator());
    bool ok = false;
    const double value = locale.toDouble(ungrouped, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString shortDateFormat() {
    QString format = QLocale().dateFormat(QLocale::ShortFormat);
    if (!format.contains(QLatin1String("yyyy")))
        format.replace(QRegularExpression(QStringLiteral("y+")), QStringLiteral("yyyy"));
    return format;
}

QString shortDate(const QDate& date) {
    return QLocale().toString(date, shortDateFormat());
}

QDate parseShortDate(const QString& text) {
    const QLocale locale;
    const QString trimmed = text.trimmed();
    // ISO 8601 first: 2003-09-29 reads the same in every locale.
    QDate date = QDate::fromString(trimmed, Qt::ISODate);
    if (!date.isValid())
        date = locale.toDate(trimmed, shortDateFormat());
    if (!date.isValid()) {
        // A two-digit year means this century, as people type it.
        date = locale.toDate(trimmed, locale.dateFormat(QLocale::ShortFormat));
        if (date.isValid() && date.year() < 2000)
            date = date.addYears(100);
    }
    return date;
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
