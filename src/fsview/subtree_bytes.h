#pragma once

#include "fsview/ordered_walk.h"

#include <cstdint>
#include <unordered_set>

// The apparent bytes of the files of several directories of one walk (a
// subtree), each file once however many names it has in them, as du -sb
// counts them; the bytes of their blocks likewise, and their names.
class SubtreeBytes {
public:
    void add(const WalkedDirectory& directory);
    std::uint64_t bytes() const { return m_bytes; }
    std::uint64_t allocated() const { return m_allocated; }
    std::uint64_t files() const { return m_files; }
    // Starts a new sum.
    void clear();

private:
    std::uint64_t m_bytes = 0;
    std::uint64_t m_allocated = 0;
    std::uint64_t m_files = 0;
    std::unordered_set<std::uint64_t> m_linkedSeen; // inodes; one file system per walk
};
