#pragma once

#include "fileops/operations_log.h"
#include "reports/report_env.h"

#include <atomic>
#include <optional>

// Where and how the move dialog moves the selected files.
struct MoveOptions {
    QString destination;   // a local folder
    bool preserve = true;  // rebuild each file's directories below it
    bool overwrite = false;
    const std::atomic<bool>* stop = nullptr; // set: end after the current file, its copy undone
};

struct MoveCounts {
    qint64 moved = 0;
    qint64 notMoved = 0;
};

// Moves the files of the highlighted rows of a file listing, after asking,
// from the bottom up, each only while it is still the file its row listed
// (ListedFile), acting by descriptor on both sides. Nothing is ever lost:
// without overwrite an existing destination stays (decided by the rename
// itself); with overwrite it is replaced in one rename, never deleted
// first, and never when this move put it there or it is the file itself.
// Across file systems the file is copied (FileCopy), and the source is
// removed only while it is still the file copied; otherwise, or when it
// cannot be removed, the copy is undone or both are kept and said so.
// Moved rows leave the grid; every outcome goes to the status bar and the
// log. Nothing when not confirmed.
std::optional<MoveCounts> btnMoveFiles_Click(ReportEnv& env, const MoveOptions& options, OperationsLog& log);
