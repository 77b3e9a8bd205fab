#include "reports/fitting_sizes.h"

#include "reports/cell_format.h"

#include <cmath>

namespace FittingSizes {

namespace {

bool inMegabytes(const QString& heading) {
    return heading.trimmed().endsWith(QLatin1String("(MB)"));
}

} // namespace

QString of(double bytes) {
    static const char* const units[] = {"B", "KB", "MB", "GB", "TB"};
    double value = bytes;
    int unit = 0;
    while (std::fabs(value) >= 1024.0 && unit < 4) {
        value /= 1024.0;
        ++unit;
    }
    const QString figure = unit == 0 ? CellFormat::formatNumber(value, QStringLiteral("###,##0"))
                                     : CellFormat::formatNumber(value, QStringLiteral("###,##0.00"));
    return figure + QLatin1Char(' ') + QLatin1String(units[unit]);
}

bool isSizeHeading(const QString& heading) {
    const QString h = heading.trimmed();
    return inMegabytes(h) || h == QLatin1String("Size") || h == QLatin1String("Allocated");
}

QString heading(const QString& heading) {
    return inMegabytes(heading) ? heading.trimmed().chopped(4) : heading;
}

QString cell(const QString& heading, const QString& text, std::optional<std::int64_t> exactBytes) {
    if (exactBytes)
        return of(double(*exactBytes));
    const std::optional<double> value = CellFormat::numberValue(text);
    if (!value)
        return text;
    return of(inMegabytes(heading) ? *value * 1048576.0 : *value);
}

} // namespace FittingSizes
