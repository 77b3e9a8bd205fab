#pragma once

#include "settings/run_state.h"

#include <QString>

// The one line a command-line run keeps up to date on a terminal: how far
// the walk has come and where it is, in the user's number format, cut to
// the terminal's width so it never wraps.
class ProgressLine {
  public:
    // With a walk under way: "<dirs> directories, <files> files, <size>, <elapsed>  <directory>";
    // otherwise "<elapsed>  <status>".
    static QString text(const RunState::Progress& progress, qint64 elapsedMs, const QString& status,
                        int width);

    // 0:07, 12:34, 1:02:03
    static QString elapsed(qint64 ms);
};
