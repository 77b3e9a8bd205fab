#pragma once

#include "settings/host.h"
#include "reports/result_grid.h"

#include <QString>
#include <QStringList>

// The grid as delimited text: the results file a user saves and the output
// file of a command-line run.
namespace ResultsFile {

// A cell of a figure column (FigureColumns) as a plain number
// (CellFormat::plainFigure); any other cell as it is, blanks included, since
// a file name may begin or end with one.
QString convertCell(const QString& heading, const QString& text);

// How a column goes into a file, read from its heading: left out (no
// heading), as a plain figure, or as the text it holds.
enum class ColumnOutput { Left, Figure, Text };
QList<ColumnOutput> columnOutputs(const ResultGrid& grid);

// The converted cells of a row, for the columns that have a heading.
QStringList rowFields(const ResultGrid& grid, qsizetype row, const QList<ColumnOutput>& outputs);
QStringList rowFields(const ResultGrid& grid, qsizetype row);

// Fields joined with the delimiter. A field holding any character of the
// delimiter, a double quote or a line break is put in double quotes with its
// quotes doubled, so the file reads back into the same fields.
QString joinFields(const QStringList& fields, const QString& delimiter);

// The same line as the bytes NameBytes::encode gives for it (names as the
// very bytes they are on disk, the rest as UTF-8), added to out: of fields,
// or of a row's cells converted as rowFields converts them. No text of the
// line is made on the way.
void appendJoined(QByteArray& out, const QStringList& fields, const QString& delimiter);
void appendRow(QByteArray& out, const QStringList& cells, const QList<ColumnOutput>& outputs,
               const QString& delimiter);

// Writes rows 0 to the last, as they are when it starts, to path, showing
// "Saving row <n>" as it goes and "Save Complete" or "Save Cancelled" at the
// end. True when all was written.
bool subSaveResultsFile(const ResultGrid& grid, const QString& path, const QString& delimiter,
                        Host& host);

} // namespace ResultsFile
