#pragma once

#include <QByteArray>

#include <sys/stat.h>

#include <atomic>
#include <cstdint>
#include <functional>

// A walk of a directory tree on all cores: the base of every report that
// walks (per-owner space, directory sizes, file searches).
//
// It never follows a symbolic link and never leaves the root's file system:
// like du -x, an entry on another device (a mount point) is neither visited
// nor entered. Nothing recurses and no path is built, so depth is no limit.
// What cannot be read is counted in skipped and the walk goes on. Memory
// grows with the directories found but not yet read, not with the files.
class ParallelScanner {
public:
    struct Options {
        int threads = 0; // workers; 0: one per core
    };

    struct Totals {
        std::uint64_t directories = 0; // directories read
        std::uint64_t entries = 0;     // entries visited, the root included
        std::uint64_t skipped = 0;     // entries or directories that could not be read
        bool cancelled = false;        // stopped before every directory was read
    };

    // Runs on the worker threads, once for the root and once per directory
    // entry below it ("." and ".." aside): a file with several hard links
    // comes once per link. worker is 0..threadCount()-1, so a visitor can
    // keep one tally per worker and need no lock.
    using Visitor = std::function<void(int worker, const struct stat& st)>;

    ParallelScanner() : ParallelScanner(Options{}) {}
    explicit ParallelScanner(Options options);

    int threadCount() const { return m_threads; }

    // Walks the tree below root (root itself may be a symbolic link to it).
    // The calling thread does not walk: it calls poll about every 20 ms and
    // ends the walk soon after cancel turns true.
    Totals walk(const QByteArray& root, const Visitor& visit, const std::atomic<bool>& cancel,
                const std::function<void()>& poll = {}) const;

private:
    int m_threads;
};
