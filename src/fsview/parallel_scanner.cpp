#include "fsview/parallel_scanner.h"

#include "fsview/directory_fd_cache.h"
#include "fsview/scan_worker.h"

#include <fcntl.h>
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

namespace {

constexpr std::chrono::milliseconds pollInterval(20);

// The walk's root, open for as long as the walk runs.
class RootFd {
public:
    explicit RootFd(const QByteArray& path)
        : m_fd(::open(path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~RootFd() {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    RootFd(const RootFd&) = delete;
    RootFd& operator=(const RootFd&) = delete;
    int get() const { return m_fd; }

private:
    int m_fd;
};

void addTotals(ParallelScanner::Totals& sum, const ParallelScanner::Totals& part) {
    sum.directories += part.directories;
    sum.entries += part.entries;
    sum.skipped += part.skipped;
}

// The workers walk while this thread keeps the caller's events going and
// watches for the stop.
void runWorkers(const std::vector<std::unique_ptr<ScanWorker>>& workers, ScanWorkQueue& queue,
                const std::atomic<bool>& cancel, const std::function<void()>& poll) {
    std::vector<std::thread> threads;
    for (const std::unique_ptr<ScanWorker>& worker : workers)
        threads.emplace_back(&ScanWorker::run, worker.get());
    while (!queue.waitEnd(pollInterval)) {
        if (poll)
            poll();
        if (cancel.load()) {
            queue.stop();
            break;
        }
    }
    for (std::thread& thread : threads)
        thread.join();
}

} // namespace

ParallelScanner::ParallelScanner(Options options)
    : m_threads(DirectoryFdCache::workerCount(options.threads)) {}

ParallelScanner::Totals ParallelScanner::walk(const QByteArray& root, const Visitor& visit,
                                              const std::atomic<bool>& cancel,
                                              const std::function<void()>& poll) const {
    Totals totals;
    if (cancel.load()) {
        totals.cancelled = true;
        return totals;
    }
    const RootFd rootFd(root);
    struct stat rootStat {};
    if (rootFd.get() < 0 || ::fstat(rootFd.get(), &rootStat) != 0) {
        totals.skipped = 1;
        return totals;
    }
    ScanWorkQueue queue(m_threads);
    std::vector<ScanDirectoryPtr> start{std::make_shared<const ScanDirectory>(
        ScanDirectory{nullptr, {}, rootStat.st_dev, rootStat.st_ino})};
    queue.push(0, start);
    const ScanWalk shared{queue, visit, cancel, rootFd.get(), rootStat.st_dev};
    std::vector<std::unique_ptr<ScanWorker>> workers;
    for (int i = 0; i < m_threads; ++i)
        workers.push_back(std::make_unique<ScanWorker>(i, shared, DirectoryFdCache::capacityPerWorker(m_threads)));
    runWorkers(workers, queue, cancel, poll);
    for (const std::unique_ptr<ScanWorker>& worker : workers)
        addTotals(totals, worker->totals());
    totals.cancelled = !queue.completed();
    return totals;
}
