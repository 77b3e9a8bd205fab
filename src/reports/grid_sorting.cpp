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
    // Each key read once, then the rows put in the sorted order.
    std::vector<std::pair<double, qsizetype>> numbers;
    if (byKey) {
        for (qsizetype row = 1; row < grid.rows(); ++row)
            numbers.emplace_back(grid.row(row)[key].toDouble(), row);
    }
    QList<qsizetype> order;
    for (qsizetype row = 1; row < grid.rows(); ++row)
        order.append(row);
    const auto less = [&](qsizetype a, qsizetype b) {
        if (byKey)
            return numbers[std::size_t(a - 1)].first < numbers[std::size_t(b - 1)].first;
        return grid.row(a)[key] < grid.row(b)[key];
    };
    std::stable_sort(order.begin(), order.end(),
                     [&](qsizetype a, qsizetype b) { return descending ? less(b, a) : less(a, b); });
    grid.reorderRows(order);
    grid.Col = col;
    view.btnShowFilesEnabled = false;
    return descending;
}
