#include "netware/client/disk_accounting.h"

#include "fsview/ordered_walk.h"
#include "netware/client/owner_tally.h"
#include "netware/client/quota_reader.h"


namespace {

constexpr std::uint64_t blockSize = 4096;

} // namespace

DiskAccounting::DiskAccounting(int threads) : m_threads(threads) {}

const VolumeUsage* DiskAccounting::usage(const QByteArray& root, const std::atomic<bool>& cancel,
                                         const std::function<void()>& poll, const Walked& walked) {
    if (const auto it = m_usageByRoot.find(root); it != m_usageByRoot.end())
        return it->second.get();
    std::unique_ptr<VolumeUsage> found;
    if (std::optional<VolumeUsage> quotas = QuotaReader::usage(root))
        found = std::make_unique<VolumeUsage>(std::move(*quotas));
    else
        found = walk(root, cancel, poll, walked);
    if (!found)
        return nullptr;
    return m_usageByRoot.emplace(root, std::move(found)).first->second.get();
}

void DiskAccounting::adopt(const QByteArray& root, VolumeUsage usage) {
    m_usageByRoot[root] = std::make_unique<VolumeUsage>(std::move(usage));
}

void DiskAccounting::clear() {
    m_usageByRoot.clear();
    m_failure.clear();
}

std::uint64_t DiskAccounting::blocksOf(std::uint64_t bytes) {
    return bytes / blockSize + (bytes % blockSize != 0 ? 1 : 0);
}

std::unique_ptr<VolumeUsage> DiskAccounting::walk(const QByteArray& root,
                                                  const std::atomic<bool>& cancel,
                                                  const std::function<void()>& poll,
                                                  const Walked& walked) {
    // Each directory's sums per owner are all this needs.
    OrderedWalk walk(root, OrderedWalk::Options::sumsOnly(m_threads));
    OwnerTally tally;
    while (const std::optional<WalkedDirectory> directory = walk.next(cancel, poll)) {
        tally.add(*directory);
        if (walked)
            walked(*directory);
    }
    m_failure = walk.failureText();
    if (cancel.load() || !m_failure.isEmpty())
        return nullptr;
    auto usage = std::make_unique<VolumeUsage>();
    usage->bytesByUid = tally.bytesByUid();
    usage->filesByUid = tally.filesByUid();
    usage->skipped = walk.skipped();
    usage->loopingFolders = walk.loopsBack();
    return usage;
}
