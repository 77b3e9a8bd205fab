#pragma once

#include "fsview/ordered_walk.h"

#include <cstdint>
#include <unordered_set>

// The apparent bytes of the files of several directories of one walk (a
// subtree), each file once however many names it has in them, as du -sb
// counts them.
class SubtreeBytes {
public:
    void add(const WalkedDirectory& directory);
    std::uint64_t bytes() const { return m_bytes; }
    // Starts a new sum.
    void clear();

private:
    std::uint64_t m_bytes = 0;
    std::unordered_set<std::uint64_t> m_linkedSeen; // inodes; one file system per walk
};
