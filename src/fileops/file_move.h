#pragma once

#include "fileops/operations_log.h"
#include "reports/report_env.h"

#include <optional>

// Where and how the move dialog moves the selected files.
struct MoveOptions {
    QString destination;   // a local folder
    bool preserve = true;  // rebuild each file's directories below it
    bool overwrite = false;
};

struct MoveCounts {
    qint64 moved = 0;
    qint64 notMoved = 0;
};

// Moves the files of the selected rows of a file listing, after asking,
// from the bottom of the selection up, each only while it is still the file
// its row listed. Nothing is ever lost: without overwrite an existing
// destination stays (decided by the rename itself, not by a look before
// it); with overwrite it is replaced in one rename, never deleted first.
// Across file systems the file is copied to a temporary name beside the
// destination, flushed, checked, given the source's mode, owner and times,
// renamed into place, and only then is the source removed; a failure
// removes the copy and leaves the source. Moved rows leave the grid; every
// outcome goes to the status bar and the log. Nothing when not confirmed.
std::optional<MoveCounts> btnMoveFiles_Click(ReportEnv& env, const MoveOptions& options, OperationsLog& log);
