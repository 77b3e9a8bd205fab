#pragma once

#include "fileops/operations_log.h"
#include "reports/report_env.h"

#include <QByteArray>

#include <atomic>
#include <functional>
#include <optional>

// Where and how the move dialog moves the selected files.
struct MoveOptions {
    QString destination;   // a local folder
    bool preserve = true;  // rebuild each file's directories below it
    bool overwrite = false;
    const std::atomic<bool>* stop = nullptr; // set: end before the next file, a copy under way undone
    // Runs between the check of a file and each act on it: the move, or
    // across file systems the copy and then the removal of the source (a
    // seam for tests of what another program may do in that moment).
    std::function<void(const QByteArray& name)> beforeAct;
};

struct MoveCounts {
    qint64 moved = 0;
    qint64 notMoved = 0;
};

// Moves the files of the highlighted rows of a file listing, after asking,
// from the bottom up, off the window's thread, each only while it is still
// the file its row listed, acting by descriptor on both sides. The source
// name is taken aside (HeldFile) and what it holds checked before it goes
// anywhere. Nothing is ever lost: a file of the same name at the
// destination stays unless overwriting; then it is only set aside, and
// removed once the source is gone: whatever fails first, it gets its name
// back. Never replaced: a file this move put there, or the file itself.
// Across file systems the file is copied (FileCopy) and the source removed
// only while it is still the file copied; otherwise the copy is taken back.
// Moved rows leave the grid; every outcome goes to the status bar and the
// log. Nothing when not confirmed.
std::optional<MoveCounts> btnMoveFiles_Click(ReportEnv& env, const MoveOptions& options, OperationsLog& log);
