#include "reports/results_file.h"

#include "reports/cell_format.h"
#include "reports/figure_columns.h"

#include <QFile>

namespace ResultsFile {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

bool needsQuotes(const QString& field, const QString& delimiter) {
    return field.contains(delimiter) || field.contains(QLatin1Char('"')) ||
           field.contains(QLatin1Char('\n')) || field.contains(QLatin1Char('\r'));
}

QString quoted(QString field) {
    field.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

bool writeLine(QFile& file, const QString& line) {
    const QByteArray bytes = line.toUtf8() + kLineEnd;
    return file.write(bytes) == bytes.size();
}

} // namespace

QString convertCell(const QString& heading, const QString& text) {
    return FigureColumns::isFigure(heading) ? CellFormat::plainFigure(text) : text.trimmed();
}

QStringList rowFields(const ResultGrid& grid, qsizetype row) {
    QStringList fields;
    for (int col = 0; col < grid.cols(); ++col) {
        const QString heading = grid.cell(0, col);
        if (!heading.isEmpty())
            fields.append(convertCell(heading, grid.cell(row, col)));
    }
    return fields;
}

QString joinFields(const QStringList& fields, const QString& delimiter) {
    QStringList out;
    out.reserve(fields.size());
    for (const QString& field : fields)
        out.append(needsQuotes(field, delimiter) ? quoted(field) : field);
    return out.join(delimiter);
}

bool subSaveResultsFile(const ResultGrid& grid, const QString& path, const QString& delimiter,
                        Host& host) {
    QFile file(path);
    bool ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate);
    for (qsizetype row = 0; ok && row < grid.rows(); ++row) {
        ok = writeLine(file, joinFields(rowFields(grid, row), delimiter));
        host.setStatus(QStringLiteral("Saving row ") + QString::number(row));
        host.pollEvents();
    }
    if (ok) {
        ok = file.flush();
        file.close();
        ok = ok && file.error() == QFileDevice::NoError;
    }
    host.setStatus(ok ? QStringLiteral("Save Complete") : QStringLiteral("Save Cancelled"));
    return ok;
}

} // namespace ResultsFile
