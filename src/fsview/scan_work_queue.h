#pragma once

#include "fsview/scan_directory.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <vector>

// The directories still to read, shared by the workers of one walk. Each
// worker takes its own latest first (depth first: the frontier stays small
// and its parent's descriptor is still at hand); an idle worker takes
// another's oldest, the one with the most below it.
class ScanWorkQueue {
public:
    explicit ScanWorkQueue(int workers);

    // Moves dirs in as found by worker; dirs is left empty.
    void push(int worker, std::vector<ScanDirectoryPtr>& dirs);
    // The next directory for worker, which is done with its previous one.
    // Waits while another worker may still find more; null once every
    // directory is read or the walk is stopped.
    ScanDirectoryPtr pop(int worker);
    // Releases every waiting worker; pop returns null from now on.
    void stop();
    // Waits up to timeout for the walk to end; true when it has ended.
    bool waitEnd(std::chrono::milliseconds timeout);
    // Whether every directory was read (not stopped before).
    bool completed() const;

private:
    ScanDirectoryPtr take(int worker);

    mutable std::mutex m_mutex;
    std::condition_variable m_work;
    std::condition_variable m_end;
    std::vector<std::deque<ScanDirectoryPtr>> m_stacks;
    std::vector<bool> m_holding; // worker has a directory from pop in hand
    int m_busy = 0;
    int m_idle = 0;
    bool m_completed = false;
    bool m_stopped = false;
};
