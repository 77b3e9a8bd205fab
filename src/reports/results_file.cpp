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

// Character by character, for a delimiter wholly in the basic plane (all
// but the oddest): a field's surrogate halves can then match none of it.
bool needsQuotesBasic(QStringView field, QStringView delimiter) {
    for (const QChar c : field) {
        if (c == u'"' || c == u'\n' || c == u'\r')
            return true;
        for (const QChar d : delimiter) {
            if (c == d)
                return true;
        }
    }
    return false;
}

bool hasSurrogates(QStringView text) {
    for (const QChar c : text) {
        if (c.isSurrogate())
            return true;
    }
    return false;
}

// Any character of the delimiter, not only the whole of it: with "||", the
// rows {"a|", "b"} and {"a", "|b"} would otherwise both be "a|||b". A
// character beyond U+FFFF is two UTF-16 units and counts whole: U+1F601 is
// no character of the delimiter U+1F600, though both begin with the same unit.
// One pass over the field: a directory cell can be tens of kilobytes long.
bool needsQuotes(const QString& field, const QString& delimiter) {
    if (!hasSurrogates(delimiter))
        return needsQuotesBasic(field, delimiter);
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

// The bytes NameBytes::encode gives for text, added to out: a run of ASCII
// (most of every row) is copied as it is.
void appendEncoded(QByteArray& out, QStringView text) {
    const auto* units = reinterpret_cast<const char16_t*>(text.utf16());
    qsizetype ascii = 0;
    while (ascii < text.size() && units[ascii] < 0x80)
        ++ascii;
    const qsizetype at = out.size();
    out.resize(at + ascii);
    char* to = out.data() + at;
    for (qsizetype i = 0; i < ascii; ++i)
        to[i] = char(units[i]);
    if (ascii < text.size()) // what follows an ASCII character encodes alike on its own
        out += NameBytes::encode(text.mid(ascii));
}

// A field of ASCII that needs no quotes, with a delimiter of one ASCII
// character (most rows of most files), copied in one pass; false, with out
// as it was, for any other.
bool appendPlainAscii(QByteArray& out, const QString& field, const QString& delimiter) {
    if (delimiter.size() != 1 || delimiter[0].unicode() >= 0x80)
        return false;
    const char16_t separator = delimiter[0].unicode();
    const auto* units = reinterpret_cast<const char16_t*>(field.utf16());
    const qsizetype at = out.size();
    out.resize(at + field.size());
    char* to = out.data() + at;
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char16_t c = units[i];
        if (c >= 0x80 || c == u'"' || c == u'\n' || c == u'\r' || c == separator) {
            out.resize(at);
            return false;
        }
        to[i] = char(c);
    }
    return true;
}

void appendField(QByteArray& out, const QString& field, const QString& delimiter) {
    if (appendPlainAscii(out, field, delimiter))
        return;
    if (needsQuotes(field, delimiter))
        appendEncoded(out, quoted(field));
    else
        appendEncoded(out, field);
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

void appendRow(QByteArray& out, const QStringList& cells, const QList<ColumnOutput>& outputs,
               const QString& delimiter) {
    bool first = true;
    static const QString kNone;
    for (qsizetype col = 0; col < outputs.size(); ++col) {
        if (outputs[col] == ColumnOutput::Left)
            continue;
        if (!first)
            appendEncoded(out, delimiter);
        first = false;
        const QString& cell = col < cells.size() ? cells[col] : kNone;
        appendField(out, outputs[col] == ColumnOutput::Figure ? CellFormat::plainFigure(cell) : cell, delimiter);
    }
}

void appendJoined(QByteArray& out, const QStringList& fields, const QString& delimiter) {
    for (qsizetype i = 0; i < fields.size(); ++i) {
        if (i > 0)
            appendEncoded(out, delimiter);
        appendField(out, fields[i], delimiter);
    }
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
    QByteArray line;
    for (qsizetype row = 0; error.isEmpty() && row < grid.rows(); ++row) {
        // The names as the very bytes they are on disk, the rest as UTF-8.
        line.resize(0);
        appendRow(line, grid.row(row), outputs, delimiter);
        line += kLineEnd;
        error = file.write(line);
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
