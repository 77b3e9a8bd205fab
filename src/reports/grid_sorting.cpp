#include "reports/grid_sorting.h"

#include <algorithm>
#include <vector>

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
        // Each key read as a number once, not at every comparison.
        std::vector<std::pair<double, qsizetype>> keys;
        keys.reserve(std::size_t(grid.rows()));
        for (qsizetype row = 1; row < grid.rows(); ++row)
            keys.emplace_back(grid.row(row)[key].toDouble(), row);
        std::stable_sort(keys.begin(), keys.end(), [descending](const auto& a, const auto& b) {
            return descending ? b.first < a.first : a.first < b.first;
        });
        QList<qsizetype> order;
        order.reserve(qsizetype(keys.size()));
        for (const auto& entry : keys)
            order.append(entry.second);
        grid.reorderRows(order);
    } else {
        grid.sortRows([key, descending](const QStringList& a, const QStringList& b) {
            return descending ? b[key] < a[key] : a[key] < b[key];
        });
    }
    grid.Col = col;
    view.btnShowFilesEnabled = false;
    return descending;
}
