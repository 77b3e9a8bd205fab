#include "fsview/folder_size.h"

#include "fsview/parallel_scanner.h"

#include <vector>

std::optional<std::uint64_t> FolderSize::of(const QByteArray& path, const std::atomic<bool>& cancel,
                                            const std::function<void()>& poll, int threads) {
    const ParallelScanner scanner(ParallelScanner::Options{threads});
    // One padded tally per worker: no lock and no shared cache line on the hot path.
    struct alignas(64) Tally {
        std::uint64_t bytes = 0;
    };
    std::vector<Tally> tallies(std::size_t(scanner.threadCount()));
    const ParallelScanner::Totals totals = scanner.walk(
        path,
        [&tallies](int worker, const struct stat& st) {
            if (!S_ISDIR(st.st_mode))
                tallies[std::size_t(worker)].bytes += std::uint64_t(st.st_size);
        },
        cancel, poll);
    if (totals.cancelled)
        return std::nullopt;
    std::uint64_t sum = 0;
    for (const Tally& t : tallies)
        sum += t.bytes;
    return sum;
}
