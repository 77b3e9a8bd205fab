#pragma once

#include "fileops/operations_log.h"
#include "reports/report_env.h"

// The steps a delete and a move share over the grid's selected rows.
namespace RowSelection {

// The rows to act on, ascending: exactly the highlighted ones.
QList<qsizetype> chosen(const ResultGrid& grid);

// Asks the question for one row or for several; true for yes.
bool confirmed(Host& host, const ResultGrid& grid, const QString& one, const QString& oneTitle,
               const QString& several, const QString& severalTitle);

// Removes the rows whose files are gone, in one pass; the rows still chosen
// stay the selection, the cursor row at its top; the totals line counts
// what is left.
void removeDone(ReportEnv& env, const QList<qsizetype>& done);

// Closes the log; when it could not be written, the status bar and a
// message say so.
void closeLog(Host& host, OperationsLog& log);

} // namespace RowSelection
