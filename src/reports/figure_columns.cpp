#include "reports/figure_columns.h"

namespace FigureColumns {

bool isFigure(const QString& heading) {
    const QString h = heading.trimmed();
    return h == QLatin1String("Size") || h == QLatin1String("Allocated") || h.endsWith(QLatin1String("(MB)")) ||
           h.startsWith(QLatin1Char('%'));
}

} // namespace FigureColumns
