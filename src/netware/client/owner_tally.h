#pragma once

#include "fsview/ordered_walk.h"

#include <QHash>

#include <cstdint>
#include <unordered_set>

// Allocated bytes per owner uid over the directories of a walk, as du -s
// counts them: every directory's own inode and its files, a file with
// several names charged once to its owner wherever its names are.
class OwnerTally {
public:
    void add(const WalkedDirectory& directory);
    const QHash<std::uint32_t, std::uint64_t>& bytesByUid() const { return m_bytesByUid; }

private:
    QHash<std::uint32_t, std::uint64_t> m_bytesByUid;
    std::unordered_set<std::uint64_t> m_linkedSeen; // inodes; one file system per walk
};
