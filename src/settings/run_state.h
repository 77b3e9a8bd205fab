#pragma once

#include <QElapsedTimer>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstdint>

// What a report run shares with the report routines and the results
// interaction, for the whole process.
struct RunState {
    static constexpr int kNoColumn = 999;

    // True from program start until the first run; set by Stop, polled by the
    // routines, also from scanner threads.
    std::atomic<bool> cancel{true};
    bool inProgress = false;
    bool resultsPresent = false;
    QString resultsKind; // "Owner", "Directory", "File", "Volumes", "Files"
    int ownerColumn = kNoColumn;
    QString ownerKind = QStringLiteral("User"); // "Group" while a group's members are listed
    std::int64_t rowCounter = 1;
    double sizeTotal = 0;
    QString patternInUse = QStringLiteral("*");
    bool rowLimitReached = false;
    double freeSpaceTotal = 0; // megabytes, kept by the volume and directory reports
    std::uint32_t dsContext = 0; // the run's directory-services context
    std::uint64_t unreadableEntries = 0; // what the run's walks could not read
    std::uint64_t loopingFolders = 0;    // folders the run's walks did not enter again: each is one above it
    // Why the run's results are incomplete though nobody stopped it (a walk
    // that ran out of descriptors); empty while they are whole.
    QString failure;
    int failureStatus = 2; // a command line's exit status for it: 1 when the directory failed
    // How far the run's walk has come, for a progress line: written by the
    // walking report on its own thread, read between events.
    struct Progress {
        std::uint64_t directories = 0;
        std::uint64_t files = 0;
        std::uint64_t bytes = 0;
        QString directory; // the directory being listed, as the rows show it
    } progress;
    QElapsedTimer clock; // since the run began
    QStringList notes;   // said after the outcome: why a volume row is Unavailable

    // What one run says of itself, made afresh as a run (or a drill-down) starts.
    void startCounting() {
        unreadableEntries = 0;
        loopingFolders = 0;
        failure.clear();
        failureStatus = 2;
        progress = {};
        clock.start();
        notes.clear();
    }

    bool cancelled() const { return cancel.load(std::memory_order_relaxed); }
};
