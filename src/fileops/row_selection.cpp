#include "fileops/row_selection.h"

#include <algorithm>

namespace RowSelection {

bool confirmed(Host& host, const ResultGrid& grid, const QString& one, const QString& oneTitle,
               const QString& several, const QString& severalTitle) {
    return grid.Row == grid.RowSel ? host.ask(one, oneTitle) : host.ask(several, severalTitle);
}

void order(ResultGrid& grid) {
    if (grid.Row < grid.RowSel)
        return;
    const qsizetype top = std::min(grid.Row, grid.RowSel);
    const qsizetype bottom = std::max(grid.Row, grid.RowSel);
    grid.Row = top;
    grid.Col = 0;
    grid.RowSel = bottom;
    grid.ColSel = grid.cols() - 1;
}

void shorten(ResultGrid& grid) {
    if (grid.RowSel != grid.Row)
        --grid.RowSel;
    else
        grid.Col = 0;
}

void closeLog(Host& host, OperationsLog& log) {
    log.close();
    if (!log.failed())
        return;
    const QString why = QStringLiteral("The log %1 could not be written: %2").arg(log.path(), log.error());
    host.setStatus(why);
    host.message(why);
}

} // namespace RowSelection
