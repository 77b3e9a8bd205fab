#pragma once

#include "fsview/ordered_walk.h"
#include "reports/ncdu_export.h"
#include "settings/run_state.h"

#include <QString>

#include <cstdint>

// The /EXPORT= file of a Directory run: opened before the walk, fed every
// directory the walk hands out, put in place only when the walk is whole.
// A failure to open or write it is the run's failure, so its rows are not
// written either and a command line ends with exit status 2; a stopped run
// leaves the file as it was and says so.
class WalkExport {
public:
    // No path: nothing is exported and the walk hands out sums only.
    // startFd: the open start directory, whose path names the export's root.
    WalkExport(RunState& run, const QString& path, int startFd);

    // It could not be opened: the walk must not start.
    bool failed() const { return m_failed; }
    // Sums only; when exporting, each file recorded for the export.
    OrderedWalk::Options walkOptions() const;
    void add(const WalkedDirectory& directory);
    // After the walk, and after its end was noted in the run: in place
    // only when the walk is whole.
    void finish();

private:
    void fail(const QString& why);

    RunState& m_run;
    QString m_path;
    NcduExport m_export;
    std::uint64_t m_rootDevice = 0;
    bool m_failed = false;
};
