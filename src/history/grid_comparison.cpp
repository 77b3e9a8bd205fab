#include "history/grid_comparison.h"

#include "history/run_recording.h"
#include "reports/cell_format.h"
#include "reports/figure_columns.h"

#include <QHash>

namespace GridComparison {

namespace {

struct ChangeColumns {
    int megabytes;
    int percent;
};

ChangeColumns addColumns(ResultGrid& grid) {
    return {grid.addColumn(QStringLiteral("Change(MB)"), 1200, ResultGrid::Align::Right),
            grid.addColumn(QStringLiteral("Change %"), 900, ResultGrid::Align::Right)};
}

// The figure the grid's size column shows: the blocks taken under an
// "Allocated" heading, else the files' lengths.
bool showsAllocated(const ResultGrid& grid) {
    return grid.fcnFindColumn(QStringLiteral("Allocated(MB)")) != ResultGrid::kNotFound ||
           grid.fcnFindColumn(QStringLiteral("Allocated")) != ResultGrid::kNotFound;
}

qint64 shownFigure(const RowFigures& figures, bool allocated) {
    return allocated ? figures.allocated : figures.bytes;
}

QString megabytes(qint64 bytes) {
    return CellFormat::padLeft(CellFormat::formatNumber(double(bytes) / 1048576.0, QStringLiteral("###,###,##0.00")));
}

QString percent(qint64 change, qint64 before) {
    return CellFormat::padLeft(CellFormat::formatNumber(double(change) / double(before) * 100.0, QStringLiteral("0.00")),
                               8);
}

void showChange(ResultGrid& grid, qsizetype row, const ChangeColumns& columns, const RowFigures* before,
                bool allocated) {
    const RowFigures now = grid.figures(row);
    if (!now.counted())
        return;
    if (!before || !before->counted()) {
        grid.setCell(row, columns.megabytes, megabytes(shownFigure(now, allocated)));
        grid.setCell(row, columns.percent, QStringLiteral("New"));
        return;
    }
    const qint64 earlier = shownFigure(*before, allocated);
    const qint64 change = shownFigure(now, allocated) - earlier;
    grid.setCell(row, columns.megabytes, megabytes(change));
    grid.setCell(row, columns.percent, earlier > 0 ? percent(change, earlier)
                                                   : (change == 0 ? percent(0, 1) : QStringLiteral("New")));
}

// A row the earlier run had: its name where this run's rows have theirs,
// nothing in its figures but the change.
void addGoneRow(ResultGrid& grid, const QString& key, const StoredRow& row, const ChangeColumns& columns) {
    QStringList cells(grid.cols());
    const int file = grid.fcnFindColumn(QStringLiteral("File"));
    const int directory = grid.fcnFindColumn(QStringLiteral("Directory"));
    if (file != ResultGrid::kNotFound && directory != ResultGrid::kNotFound) {
        const qsizetype slash = key.lastIndexOf(QLatin1Char('\\'));
        cells[directory] = key.left(slash);
        cells[file] = key.mid(slash + 1);
    } else {
        for (const char* heading : {"Directory", "Volume", "Owner"}) {
            if (const int col = grid.fcnFindColumn(QLatin1String(heading)); col != ResultGrid::kNotFound) {
                cells[col] = key;
                break;
            }
        }
    }
    if (const int owner = grid.fcnFindColumn(QStringLiteral("Owner")); owner != ResultGrid::kNotFound && file != ResultGrid::kNotFound)
        cells[owner] = row.owner;
    // What is left of it now: nothing.
    for (int col = 0; col < columns.megabytes; ++col) {
        const QString heading = grid.cell(0, col);
        if (FigureColumns::isFigure(heading))
            cells[col] = CellFormat::padLeft(heading.endsWith(QLatin1String("(MB)")) || heading.startsWith(QLatin1Char('%'))
                                                 ? megabytes(0).trimmed()
                                                 : QStringLiteral("0"));
    }
    cells[columns.megabytes] = megabytes(-shownFigure(row.figures, showsAllocated(grid)));
    cells[columns.percent] = QStringLiteral("Gone");
    RowFigures gone;
    gone.bytes = 0;
    gone.allocated = 0;
    grid.addRow(cells, {}, gone);
}

} // namespace

void compare(ResultGrid& grid, const QList<StoredRow>& earlier) {
    const ChangeColumns columns = addColumns(grid);
    const QStringList keys = storedRowKeys(earlier);
    QHash<QString, qsizetype> before;
    before.reserve(keys.size());
    for (qsizetype i = 0; i < keys.size(); ++i)
        before.insert(keys[i], i);
    const qsizetype rows = grid.rows();
    const RunRecording::RowKeys now(grid);
    const bool allocated = showsAllocated(grid);
    for (qsizetype row = 1; row < rows; ++row) {
        const auto found = before.find(now.of(row));
        showChange(grid, row, columns, found == before.end() ? nullptr : &earlier[*found].figures, allocated);
        if (found != before.end())
            before.erase(found);
    }
    for (qsizetype i = 0; i < keys.size(); ++i) {
        if (before.contains(keys[i]) && earlier[i].figures.counted())
            addGoneRow(grid, keys[i], earlier[i], columns);
    }
}

void addEmptyColumns(ResultGrid& grid) {
    addColumns(grid);
}

void remove(ResultGrid& grid) {
    const int change = grid.fcnFindColumn(QStringLiteral("Change(MB)"));
    if (change == ResultGrid::kNotFound)
        return;
    QList<qsizetype> gone;
    for (qsizetype row = 1; row < grid.rows(); ++row) {
        if (grid.cell(row, change + 1) == QLatin1String("Gone"))
            gone.append(row);
    }
    grid.removeRows(gone);
    grid.dropColumnsFrom(change);
}

} // namespace GridComparison
