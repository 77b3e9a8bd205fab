#include "netware/client/owner_tally.h"

#include <algorithm>
#include <tuple>

void OwnerTally::add(const struct stat& st) {
    // st_blocks counts 512-byte units whatever the file system's block size.
    const std::uint64_t bytes = std::uint64_t(st.st_blocks) * 512;
    // Directories cannot be hard-linked; their link count only counts subdirectories.
    if (!S_ISDIR(st.st_mode) && st.st_nlink > 1)
        m_links.push_back({st.st_dev, st.st_ino, std::uint32_t(st.st_uid), bytes});
    else
        m_bytesByUid[std::uint32_t(st.st_uid)] += bytes;
}

QHash<std::uint32_t, std::uint64_t> OwnerTally::merge(std::vector<OwnerTally>& tallies) {
    QHash<std::uint32_t, std::uint64_t> total;
    std::vector<Link> links;
    for (OwnerTally& tally : tallies) {
        for (auto it = tally.m_bytesByUid.cbegin(); it != tally.m_bytesByUid.cend(); ++it)
            total[it.key()] += it.value();
        links.insert(links.end(), tally.m_links.begin(), tally.m_links.end());
        tally.m_links = {};
    }
    const auto key = [](const Link& l) { return std::tie(l.device, l.inode); };
    std::sort(links.begin(), links.end(),
              [&](const Link& a, const Link& b) { return key(a) < key(b); });
    const auto last = std::unique(links.begin(), links.end(),
                                  [&](const Link& a, const Link& b) { return key(a) == key(b); });
    for (auto it = links.begin(); it != last; ++it)
        total[it->uid] += it->bytes;
    return total;
}
