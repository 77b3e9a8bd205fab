#pragma once

#include "fsview/directory_fd_cache.h"
#include "fsview/parallel_scanner.h"
#include "fsview/scan_work_queue.h"

#include <memory>
#include <vector>

// What the workers of one walk share.
struct ScanWalk {
    ScanWorkQueue& queue;
    const ParallelScanner::Visitor& visit;
    const std::atomic<bool>& cancel;
    int rootFd;
    dev_t rootDevice;
};

// One worker thread of a walk: reads the directories it takes from the
// queue, visits their entries and queues their subdirectories.
class ScanWorker {
public:
    ScanWorker(int index, const ScanWalk& walk, std::size_t cachedFds);

    void run();
    const ParallelScanner::Totals& totals() const { return m_totals; }

private:
    void readDirectory(const ScanDirectoryPtr& dir);
    bool verified(int fd, const ScanDirectory& dir);
    bool readEntries(int fd, const ScanDirectoryPtr& dir);
    void visitEntry(int fd, const ScanDirectoryPtr& dir, const char* name);
    bool cancelled();

    int m_index;
    const ScanWalk& m_walk;
    DirectoryFdCache m_fds;
    std::unique_ptr<char[]> m_buffer;
    std::vector<ScanDirectoryPtr> m_found; // subdirectories of the directory being read
    unsigned m_sinceCheck = 0;
    ParallelScanner::Totals m_totals;
};
