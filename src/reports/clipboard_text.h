#pragma once

#include "reports/result_grid.h"

#include <QString>

// The text the Copy command puts on the clipboard: rows first to last of the
// grid, the columns with a width, figure cells as plain numbers (as in saved
// files), lines ended by CR LF and one empty line after the last. Copying
// from row 0 takes the headings as the first row; a copy of later rows gets
// a heading line of its own. Other cells go as the grid holds them, and one
// holding any character of the delimiter, a double quote or a line break is
// quoted as in saved files.
QString fcnGridRowsText(const ResultGrid& grid, qsizetype first, qsizetype last, const QString& delimiter);
// The same for the given rows, ascending: the highlighted ones, which need
// not be one range.
QString fcnGridRowsText(const ResultGrid& grid, const QList<qsizetype>& rows, const QString& delimiter);
