#pragma once

#include <QHash>

#include <cstdint>

// Space in use on one volume, per owner.
struct VolumeUsage {
    QHash<std::uint32_t, std::uint64_t> bytesByUid; // allocated bytes (st_blocks * 512) per uid
    // Inodes (files, directories and links, each once) per uid, as quotas count them.
    QHash<std::uint32_t, std::uint64_t> filesByUid;
    std::uint64_t skipped = 0;                      // entries that could not be read
    std::uint64_t loopingFolders = 0;               // folders not entered again: each is one above it
    bool fromQuotas = false;
};
