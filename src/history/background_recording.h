#pragma once

#include "history/stored_run.h"
#include "reports/result_grid.h"

#include <QString>

#include <future>
#include <thread>

// A finished run kept while its results file is written: its rows are read
// from a snapshot of its grid and go into the store on a thread of their
// own, in one transaction that is committed by keep() once the file is
// written and rolled back when the recording goes without it. A File run's
// 65,000 rows take the store about as long as the file takes to write; one
// after the other they cost both.
class BackgroundRecording {
public:
    // found: the grid as the run found it (ResultGrid::snapshot(), which
    // later changes to the grid do not reach).
    BackgroundRecording(const QString& location, const StoredRun& run, const ResultGrid& found, int keepDays);
    ~BackgroundRecording();
    BackgroundRecording(const BackgroundRecording&) = delete;
    BackgroundRecording& operator=(const BackgroundRecording&) = delete;

    // Commits the run when its rows are in; empty, or why it is not kept.
    QString keep();

private:
    void decide(bool keep);

    std::promise<bool> m_verdict;
    std::future<QString> m_outcome;
    std::thread m_thread;
    bool m_decided = false;
};
