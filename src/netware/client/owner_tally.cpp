#include "netware/client/owner_tally.h"

void OwnerTally::add(const WalkedDirectory& directory) {
    // Known from the parent's listing even where the directory cannot be read.
    m_bytesByUid[directory.own.uid] += directory.own.allocated;
    for (const OwnerBytes& owner : directory.ownerBytes)
        m_bytesByUid[owner.uid] += owner.allocated;
    for (const LinkedFile& file : directory.linked) {
        if (m_linkedSeen.insert(file.inode).second)
            m_bytesByUid[file.uid] += file.allocated;
    }
}
