#include "reports/results_file.h"

#include "reports/cell_format.h"
#include "reports/figure_columns.h"

#include <QFile>
#include <QSaveFile>

#include <sys/stat.h>
#include <unistd.h>

namespace ResultsFile {

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

// Any character of the delimiter, not only the whole of it: with "||", the
// rows {"a|", "b"} and {"a", "|b"} would otherwise both be "a|||b".
// One pass over the field: a directory cell can be tens of kilobytes long.
bool needsQuotes(const QString& field, const QString& delimiter) {
    for (const QChar c : field) {
        if (c == u'"' || c == u'\n' || c == u'\r' || delimiter.contains(c))
            return true;
    }
    return false;
}

QString quoted(QString field) {
    field.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + field + QLatin1Char('"');
}

constexpr qsizetype kRowsPerStatus = 256;

bool writeLine(QFileDevice& file, const QString& line) {
    const QByteArray bytes = line.toUtf8() + kLineEnd;
    return file.write(bytes) == bytes.size();
}

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
void keepOwnership(QFileDevice& file, const QString& path) {
    struct stat old {};
    if (::geteuid() != 0 || file.handle() < 0 || ::stat(QFile::encodeName(path).constData(), &old) != 0 ||
        !S_ISREG(old.st_mode))
        return;
    // The owner first: changing it clears the set-ID bits the mode then puts back.
    if (::fchown(file.handle(), old.st_uid, old.st_gid) == 0)
        ::fchmod(file.handle(), old.st_mode & 07777);
}

bool subSaveResultsFile(const ResultGrid& grid, const QString& path, const QString& delimiter,
                        Host& host) {
    QSaveFile file(path);
    bool ok = file.open(QIODevice::WriteOnly);
    if (ok)
        keepOwnership(file, path);
    const QList<ColumnOutput> outputs = columnOutputs(grid);
    for (qsizetype row = 0; ok && row < grid.rows(); ++row) {
        ok = writeLine(file, joinFields(rowFields(grid, row, outputs), delimiter));
        // Every row's status would cost more than the row.
        if (row % kRowsPerStatus == 0 || row + 1 == grid.rows())
            host.setStatus(QStringLiteral("Saving row ") + QString::number(row));
        host.pollEvents();
    }
    ok = ok && file.commit();
    if (!ok) {
        const QString why = file.errorString();
        file.cancelWriting();
        host.message(QStringLiteral("The results could not be saved to %1: %2").arg(path, why));
    }
    host.setStatus(ok ? QStringLiteral("Save Complete") : QStringLiteral("Save Cancelled"));
    return ok;
}

} // namespace ResultsFile
