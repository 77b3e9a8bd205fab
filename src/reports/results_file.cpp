#include "reports/results_file.h"

#include "reports/cell_format.h"
#include "reports/figure_columns.h"
#include "fsview/name_bytes.h"

#include <QFile>
#include "reports/whole_file_writer.h"

#include <sys/stat.h>
#include <unistd.h>

namespace ResultsFile {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// Any character of the delimiter, not only the whole of it: with "||", the
// rows {"a|", "b"} and {"a", "|b"} would otherwise both be "a|||b". A
// character beyond U+FFFF is two UTF-16 units and counts whole: U+1F601 is
// no character of the delimiter U+1F600, though both begin with the same unit.
// One pass over the field: a directory cell can be tens of kilobytes long.
bool needsQuotes(const QString& field, const QString& delimiter) {
    for (qsizetype i = 0; i < field.size(); ++i) {
        const QChar c = field[i];
        if (c == u'"' || c == u'\n' || c == u'\r')
            return true;
        const qsizetype units = c.isHighSurrogate() && i + 1 < field.size() && field[i + 1].isLowSurrogate() ? 2 : 1;
        if (delimiter.contains(QStringView(field).mid(i, units)))
            return true;
        i += units - 1;
    }
    return false;
}

QString quoted(QString field) {
    field.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

constexpr qsizetype kRowsPerStatus = 256;


} // namespace

QString convertCell(const QString& heading, const QString& text) {
    return FigureColumns::isFigure(heading) ? CellFormat::plainFigure(text) : text;
}

QList<ColumnOutput> columnOutputs(const ResultGrid& grid) {
    QList<ColumnOutput> outputs;
    for (int col = 0; col < grid.cols(); ++col) {
        const QString heading = grid.cell(0, col);
        outputs.append(heading.isEmpty()                    ? ColumnOutput::Left
                       : FigureColumns::isFigure(heading) ? ColumnOutput::Figure
                                                            : ColumnOutput::Text);
    }
    return outputs;
}

QStringList rowFields(const ResultGrid& grid, qsizetype row, const QList<ColumnOutput>& outputs) {
    QStringList fields;
    fields.reserve(outputs.size());
    for (int col = 0; col < outputs.size(); ++col) {
        if (outputs[col] == ColumnOutput::Left)
            continue;
        const QString text = grid.cell(row, col);
        fields.append(outputs[col] == ColumnOutput::Figure ? CellFormat::plainFigure(text) : text);
    }
    return fields;
}

QStringList rowFields(const ResultGrid& grid, qsizetype row) {
    return rowFields(grid, row, columnOutputs(grid));
}

QString joinFields(const QStringList& fields, const QString& delimiter) {
    QString line;
    qsizetype length = 0;
    for (const QString& field : fields)
        length += field.size() + delimiter.size();
    line.reserve(length);
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            line += delimiter;
        line += needsQuotes(fields[i], delimiter) ? quoted(fields[i]) : fields[i];
    }
    return line;
}

// Written through a temporary file that replaces the chosen one only when
// all is written: a failed save never leaves half a file, nor loses the file
// it was to replace.
bool subSaveResultsFile(const ResultGrid& shown, const QString& path, const QString& delimiter,
                        Host& host) {
    // The rows as they are now: a sort or a new run while events are let
    // through must not change what this save writes.
    const ResultGrid grid = shown.snapshot();
    WholeFileWriter file;
    QString error = file.open(path, WholeFileWriter::Mode::Replace);
    const QList<ColumnOutput> outputs = columnOutputs(grid);
    for (qsizetype row = 0; error.isEmpty() && row < grid.rows(); ++row) {
        // The names as the very bytes they are on disk, the rest as UTF-8.
        error = file.write(NameBytes::encode(joinFields(rowFields(grid, row, outputs), delimiter)) + kLineEnd);
        // Every row's status would cost more than the row.
        if (row % kRowsPerStatus == 0 || row + 1 == grid.rows())
            host.setStatus(QStringLiteral("Saving row ") + QString::number(row));
        host.pollEvents();
    }
    if (error.isEmpty())
        error = file.commit();
    if (!error.isEmpty())
        host.message(QStringLiteral("The results could not be saved to %1: %2").arg(path, file.reason()));
    host.setStatus(error.isEmpty() ? QStringLiteral("Save Complete") : QStringLiteral("Save Cancelled"));
    return error.isEmpty();
}

} // namespace ResultsFile
