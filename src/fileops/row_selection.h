#pragma once

#include "fileops/operations_log.h"
#include "reports/host.h"
#include "reports/result_grid.h"

// The steps a delete and a move share over the grid's selected rows.
namespace RowSelection {

// Asks the question for one row or for several; true for yes.
bool confirmed(Host& host, const ResultGrid& grid, const QString& one, const QString& oneTitle,
               const QString& several, const QString& severalTitle);

// Orders the selection top to bottom, the cursor row at its top.
void order(ResultGrid& grid);

// After a row's file is done with: a multi-row selection gets one shorter.
void shorten(ResultGrid& grid);

// Closes the log; when it could not be written, the status bar and a
// message say so.
void closeLog(Host& host, OperationsLog& log);

} // namespace RowSelection
