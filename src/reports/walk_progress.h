#pragma once

#include "fsview/ordered_walk.h"
#include "reports/run_state.h"

// Counts a directory a walking report has taken into the run's progress.
inline void countWalked(RunState::Progress& progress, const WalkedDirectory& directory, const QString& path) {
    ++progress.directories;
    progress.files += directory.fileCount;
    progress.bytes += directory.fileBytes;
    progress.directory = path;
}
