#pragma once


#include "fsview/ordered_walk.h"
#include "netware/client/volume_usage.h"

#include <QByteArray>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>

// Per-owner in-use space of volumes (NWGetObjDiskRestrictions). Every inode
// on the volume, directories and symbolic links included as du -s counts
// them, is charged once to its owner; one walk yields every owner's total,
// so listing all owners of a volume costs one walk, not one per user.
class DiskAccounting {
public:
    // threads: walking threads, 0 for one per core.
    explicit DiskAccounting(int threads = 0);

    // Usage of the volume whose root is given: read from user quotas when the
    // root is the mount point of a file system with user quotas on, else one
    // walk of the volume. Kept per root until clear(); a cancelled walk is
    // not kept and gives null, and so does one that failed (failure() then
    // says why). The result lives until clear().
    // walked, when given, is told of each directory as the walk takes it, for progress.
    using Walked = std::function<void(const WalkedDirectory&)>;
    const VolumeUsage* usage(const QByteArray& root, const std::atomic<bool>& cancel,
                             const std::function<void()>& poll = {}, const Walked& walked = {});
    // Usage measured elsewhere (a scan of the volume read from a file),
    // kept for root as its walk's would be, until clear().
    void adopt(const QByteArray& root, VolumeUsage usage);
    void clear();
    // Why the last walk could not measure its volume; empty when none failed.
    const QString& failure() const { return m_failure; }

    // 4096-byte blocks, rounded up.
    static std::uint64_t blocksOf(std::uint64_t bytes);

private:
    std::unique_ptr<VolumeUsage> walk(const QByteArray& root, const std::atomic<bool>& cancel,
                                      const std::function<void()>& poll, const Walked& walked);

    int m_threads;
    std::map<QByteArray, std::unique_ptr<VolumeUsage>> m_usageByRoot;
    QString m_failure;
};
