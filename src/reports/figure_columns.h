#pragma once

#include <QString>

// Which result columns hold figures (sizes, megabytes, percentages), by their
// heading. Only these are rewritten as plain numbers when results leave the
// grid; names, owners, directories, dates and times go out as they are, so a
// file named 007 or 1,000 keeps its name in every locale.
namespace FigureColumns {

// "Size", "Size(MB)", "Used Space(MB)" and the other megabyte columns, "% Free".
bool isFigure(const QString& heading);

} // namespace FigureColumns
