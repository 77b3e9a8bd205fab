#pragma once

#include "fileops/operations_log.h"
#include "reports/report_env.h"

// Deletes the files of the selected rows of a file listing, after asking,
// from the bottom of the selection up: each file only while it is still the
// file its row listed. Deleted files' rows leave the grid; every outcome
// goes to the status bar and the log, every failure to a message too.
// directoryCol and fileCol are the Directory and File columns the pop-up
// menu recorded. Returns the files deleted.
qint64 Menu_Popup_Delete_Click(ReportEnv& env, int directoryCol, int fileCol, OperationsLog& log);
