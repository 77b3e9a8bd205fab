#include "netware/client/owner_tally.h"

void OwnerTally::add(const WalkedDirectory& directory) {
    // Known from the parent's listing even where the directory cannot be read.
    charge(directory.own.uid, directory.own.allocated, 1);
    for (const OwnerBytes& owner : directory.ownerBytes)
        charge(owner.uid, owner.allocated, owner.files);
    for (const LinkedFile& file : directory.linked) {
        if (m_linkedSeen.insert(file.inode).second)
            charge(file.uid, file.allocated, 1);
    }
}

void OwnerTally::charge(std::uint32_t uid, std::uint64_t bytes, std::uint64_t files) {
    m_bytesByUid[uid] += bytes;
    m_filesByUid[uid] += files;
}
