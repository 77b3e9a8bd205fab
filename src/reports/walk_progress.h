#pragma once

#include "fsview/ordered_walk.h"
#include "settings/run_state.h"

// Counts a directory a walking report has taken into the run's progress.
inline void countWalked(RunState::Progress& progress, const WalkedDirectory& directory, const QString& path) {
    ++progress.directories;
    progress.files += directory.fileCount;
    progress.bytes += directory.fileBytes;
    progress.directory = path;
}

// What a walking report's walk leaves to the run at its end: the entries it
// could not read, the folders it did not enter again, and why it ended early
// when that was no one's choice.
// Walk: an OrderedWalk, or what hands out directories as one does.
template <typename Walk>
void noteWalkEnd(RunState& run, const Walk& walk) {
    run.unreadableEntries += walk.skipped();
    run.loopingFolders += walk.loopsBack();
    if (run.failure.isEmpty())
        run.failure = walk.failureText();
}
