#pragma once

#include "fsview/ordered_walk.h"

#include <QHash>

#include <cstdint>
#include <unordered_set>

// Allocated bytes per owner uid over the directories of a walk, as du -s
// counts them: every directory's own inode and its files, a file with
// several names charged once to its owner wherever its names are; and the
// inodes so charged, as quotas count an owner's files.
class OwnerTally {
public:
    void add(const WalkedDirectory& directory);
    const QHash<std::uint32_t, std::uint64_t>& bytesByUid() const { return m_bytesByUid; }
    const QHash<std::uint32_t, std::uint64_t>& filesByUid() const { return m_filesByUid; }

private:
    void charge(std::uint32_t uid, std::uint64_t bytes, std::uint64_t files);

    QHash<std::uint32_t, std::uint64_t> m_bytesByUid;
    QHash<std::uint32_t, std::uint64_t> m_filesByUid;
    std::unordered_set<std::uint64_t> m_linkedSeen; // inodes; one file system per walk
};
