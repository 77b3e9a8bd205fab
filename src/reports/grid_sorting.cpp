#include "reports/grid_sorting.h"

namespace {

bool isDateHeading(const QString& heading) {
    return heading == QLatin1String("Creation Date") || heading == QLatin1String("Modify Date") ||
           heading == QLatin1String("Access Date") || heading == QLatin1String("Date");
}

} // namespace

bool grdDirSizes_DblClick(ResultGrid& grid, ResultsView& view, int col) {
    if (col < 0 || col >= grid.cols())
        return false;
    const bool byKey = isDateHeading(grid.cell(0, col));
    const int key = byKey ? 0 : col;
    const bool descending = !view.sortToggle;
    view.sortToggle = descending;
    if (byKey) {
        grid.sortRows([key, descending](const QStringList& a, const QStringList& b) {
            const double x = a[key].toDouble();
            const double y = b[key].toDouble();
            return descending ? y < x : x < y;
        });
    } else {
        grid.sortRows([key, descending](const QStringList& a, const QStringList& b) {
            return descending ? b[key] < a[key] : a[key] < b[key];
        });
    }
    grid.Col = col;
    view.btnShowFilesEnabled = false;
    return descending;
}
