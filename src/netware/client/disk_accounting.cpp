#include "netware/client/disk_accounting.h"

#include "netware/client/owner_tally.h"
#include "netware/client/quota_reader.h"

#include <vector>

namespace {

constexpr std::uint64_t blockSize = 4096;

} // namespace

DiskAccounting::DiskAccounting(ParallelScanner::Options options) : m_scanner(options) {}

const VolumeUsage* DiskAccounting::usage(const QByteArray& root, const std::atomic<bool>& cancel,
                                         const std::function<void()>& poll) {
    if (const auto it = m_usageByRoot.find(root); it != m_usageByRoot.end())
        return it->second.get();
    std::unique_ptr<VolumeUsage> found;
    if (std::optional<QHash<std::uint32_t, std::uint64_t>> quotas = QuotaReader::bytesByUid(root)) {
        found = std::make_unique<VolumeUsage>();
        found->bytesByUid = std::move(*quotas);
        found->fromQuotas = true;
    } else {
        found = walk(root, cancel, poll);
    }
    if (!found)
        return nullptr;
    return m_usageByRoot.emplace(root, std::move(found)).first->second.get();
}

void DiskAccounting::clear() {
    m_usageByRoot.clear();
}

std::uint64_t DiskAccounting::blocksOf(std::uint64_t bytes) {
    return bytes / blockSize + (bytes % blockSize != 0 ? 1 : 0);
}

std::unique_ptr<VolumeUsage> DiskAccounting::walk(const QByteArray& root,
                                                  const std::atomic<bool>& cancel,
                                                  const std::function<void()>& poll) const {
    std::vector<OwnerTally> tallies(std::size_t(m_scanner.threadCount()));
    const ParallelScanner::Totals totals = m_scanner.walk(
        root, [&](int worker, const struct stat& st) { tallies[std::size_t(worker)].add(st); },
        cancel, poll);
    if (totals.cancelled)
        return nullptr;
    auto usage = std::make_unique<VolumeUsage>();
    usage->bytesByUid = OwnerTally::merge(tallies);
    usage->skipped = totals.skipped;
    return usage;
}
