#pragma once

#include "fileops/operations_log.h"
#include "reports/report_env.h"

#include <QByteArray>

#include <atomic>
#include <functional>

struct DeleteOptions {
    const std::atomic<bool>* stop = nullptr; // set: end before the next file
    // Runs between the check of a file and the act on it (a seam for tests
    // of what another program may do in that moment).
    std::function<void(const QByteArray& name)> beforeAct;
    // Runs once the question is answered Yes, before the first file (the
    // window shows Stop from then on). May be empty.
    std::function<void()> started;
};

// Deletes the files of the highlighted rows of a file listing, after asking,
// from the bottom of the selection up, off the window's thread: each file
// only while it is still the file its row listed. The name is first taken
// aside under a private name (HeldFile), what it then holds is checked, and
// only that is removed; anything else gets its name back. Deleted files'
// rows leave the grid; every outcome goes to the status bar and the log,
// every failure to a message too. directoryCol and fileCol are the
// Directory and File columns the pop-up menu recorded. Returns the files
// deleted.
qint64 Menu_Popup_Delete_Click(ReportEnv& env, int directoryCol, int fileCol, OperationsLog& log,
                               const DeleteOptions& options = {});
