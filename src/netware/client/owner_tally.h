#pragma once

#include <QHash>

#include <sys/stat.h>

#include <cstdint>
#include <vector>

// One worker's share of an accounting walk: allocated bytes per owner uid.
// Files with several hard links are kept apart and charged once, by device
// and inode, when every worker is done; so memory grows with hard-linked
// files only. Aligned so that the tallies of neighbouring workers never
// share a cache line.
class alignas(64) OwnerTally {
public:
    void add(const struct stat& st);
    // Every tally's bytes, each hard-linked inode charged once to its owner.
    static QHash<std::uint32_t, std::uint64_t> merge(std::vector<OwnerTally>& tallies);

private:
    struct Link {
        dev_t device;
        ino_t inode;
        std::uint32_t uid;
        std::uint64_t bytes;
    };

    QHash<std::uint32_t, std::uint64_t> m_bytesByUid;
    std::vector<Link> m_links;
};
