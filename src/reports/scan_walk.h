#pragma once

#include "fsview/ordered_walk.h"
#include "reports/ncdu_scan.h"
#include "settings/run_state.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

// A scan read from a file (/IMPORT=) handed out as an OrderedWalk hands out
// the tree it walks: directories in pre-order, subdirectories in
// case-insensitive name order, each with the sums a walk makes of its own
// files (a file with several names once) and the files the options let
// through, in name order, so the rows are those a walk of the same tree
// gives. Mount points the scan left out stay out, as the walk leaves them
// out; so do files it left out, which it never looked at.
class ScanWalk {
public:
    // Reads path. A file that cannot be read, or holds no scan, is the
    // run's failure (exit status 1), naming its line and column: failed().
    // The options' filters and filesEnough act as on a walk; threads,
    // lookahead and recordFile have nothing to do.
    ScanWalk(RunState& run, const QString& path,
             OrderedWalk::Options options = OrderedWalk::Options::sumsOnly());

    bool failed() const { return m_failed; }
    // See NcduScan.
    bool recordsTimes() const { return m_scan.recordsTimes(); }
    bool recordsOwners() const { return m_scan.recordsOwners(); }
    // The next directory; nothing at the end or once cancel is set. Calls
    // poll every few hundred directories.
    std::optional<WalkedDirectory> next(const std::atomic<bool>& cancel, const std::function<void()>& poll = {});

    // What the walk that wrote the scan could not read.
    std::uint64_t skipped() const { return m_skipped; }
    std::uint64_t loopsBack() const { return 0; }
    QString failureText() const { return {}; }

private:
    WalkedDirectory directoryAt(std::size_t index, int depth);
    void addFile(std::size_t index, WalkedDirectory& out);
    void count(const NcduScan::Entry& file, WalkedDirectory& out) const;
    void pushSubdirectories(std::vector<std::size_t>& subdirectories, int depth, WalkedDirectory& out);

    NcduScan m_scan;
    OrderedWalk::Options m_options;
    bool m_failed = false;
    std::vector<std::pair<std::size_t, int>> m_pending; // entry and depth, the next on top
    std::uint64_t m_skipped = 0;
    unsigned m_handedOut = 0;
};
