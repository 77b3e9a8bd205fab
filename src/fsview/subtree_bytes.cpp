#include "fsview/subtree_bytes.h"

void SubtreeBytes::add(const WalkedDirectory& directory) {
    std::uint64_t linkedHere = 0;
    for (const LinkedFile& file : directory.linked) {
        linkedHere += file.size;
        if (m_linkedSeen.insert(file.inode).second) {
            m_bytes += file.size;
            m_allocated += file.allocated;
        }
    }
    for (const OwnerBytes& owner : directory.ownerBytes)
        m_allocated += owner.allocated;
    m_files += directory.fileCount;
    // fileBytes holds the linked files' bytes too, once each for this directory.
    m_bytes += directory.fileBytes - linkedHere;
}

void SubtreeBytes::clear() {
    m_bytes = 0;
    m_allocated = 0;
    m_files = 0;
    m_linkedSeen.clear();
}
