#include "fileops/row_selection.h"

#include "reports/report_run.h"

#include <algorithm>

namespace RowSelection {

QList<qsizetype> chosen(const ResultGrid& grid) {
    QList<qsizetype> rows;
    if (!grid.selectedRows.isEmpty()) {
        for (const qsizetype row : grid.selectedRows) {
            if (row >= 1 && row < grid.rows())
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        return rows;
    }
    const qsizetype top = std::max<qsizetype>(std::min(grid.Row, grid.RowSel), 1);
    const qsizetype bottom = std::min(std::max(grid.Row, grid.RowSel), grid.rows() - 1);
    for (qsizetype row = top; row <= bottom; ++row)
        rows.append(row);
    return rows;
}

bool confirmed(Host& host, const ResultGrid& grid, const QString& one, const QString& oneTitle,
               const QString& several, const QString& severalTitle) {
    return chosen(grid).size() == 1 ? host.ask(one, oneTitle) : host.ask(several, severalTitle);
}

// The rows of before that are not in done, renumbered as they will be once
// done's rows are gone.
QList<qsizetype> remaining(const QList<qsizetype>& before, QList<qsizetype> done) {
    std::sort(done.begin(), done.end());
    QList<qsizetype> kept;
    for (const qsizetype row : before) {
        const auto below = std::lower_bound(done.begin(), done.end(), row);
        if (below == done.end() || *below != row)
            kept.append(row - (below - done.begin()));
    }
    return kept;
}

void removeDone(ReportEnv& env, const QList<qsizetype>& done) {
    ResultGrid& grid = env.grid;
    const QList<qsizetype> left = remaining(chosen(grid), done);
    grid.removeRows(done);
    grid.selectedRows = left;
    grid.Row = left.isEmpty() ? std::min(grid.Row, grid.rows() - 1) : left.first();
    grid.RowSel = left.isEmpty() ? grid.Row : left.last();
    grid.Col = 0;
    if (done.isEmpty())
        return;
    double bytes = 0;
    for (qsizetype row = 1; row < grid.rows(); ++row) {
        if (const RowRecord* record = grid.record(row))
            bytes += double(record->identity.size);
    }
    env.run.sizeTotal = bytes;
    env.run.rowCounter = grid.rows();
    env.view.lblGraphStats = fcnTotalsLine(grid, bytes / 1048576.0);
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
