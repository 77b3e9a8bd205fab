#include "reports/clipboard_text.h"

#include "reports/cell_format.h"
#include "reports/figure_columns.h"
#include "reports/results_file.h"
#include "fsview/name_bytes.h"

#include <QStringList>

namespace {

const QString kLineEnd = QStringLiteral("\r\n");

} // namespace

QString fcnGridRowsText(const ResultGrid& grid, qsizetype first, qsizetype last, const QString& delimiter) {
    QList<qsizetype> rows;
    for (qsizetype row = std::max<qsizetype>(first, 0); row <= last && row < grid.rows(); ++row)
        rows.append(row);
    return fcnGridRowsText(grid, rows, delimiter);
}

QString fcnGridRowsText(const ResultGrid& grid, const QList<qsizetype>& rows, const QString& delimiter) {
    QList<int> columns;
    QList<bool> figures;
    for (int col = 0; col < grid.cols(); ++col) {
        if (grid.width(col) > 0) {
            columns.append(col);
            figures.append(FigureColumns::isFigure(grid.cell(0, col)));
        }
    }
    QString text;
    if (rows.isEmpty() || rows.first() != 0) {
        QStringList headings;
        for (const int col : columns)
            headings.append(grid.cell(0, col).trimmed());
        text += ResultsFile::joinFields(headings, delimiter) + kLineEnd;
    }
    for (const qsizetype row : rows) {
        if (row < 0 || row >= grid.rows())
            continue;
        QStringList fields;
        for (qsizetype i = 0; i < columns.size(); ++i) {
            const QString cell = grid.cell(row, columns[i]);
            fields.append(row > 0 && figures[i] ? CellFormat::plainFigure(cell) : cell);
        }
        text += ResultsFile::joinFields(fields, delimiter) + kLineEnd;
    }
    // Every line ends in CR LF, the last too, and no empty line follows it;
    // names show as the window shows them.
    return NameBytes::shown(text);
}
