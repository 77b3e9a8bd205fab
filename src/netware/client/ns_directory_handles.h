#pragma once

#include "netware/client/nw_types.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <utility>
#include <vector>

// The directory handles of the name-space scan calls: a small table of open
// local directories (handles 1 to 255), each with the listings its scans
// asked for.
class NsDirectoryHandles {
public:
    static constexpr int kMaxHandles = 255;

    // What a scan reports of one entry, as lstat sees it.
    struct EntryStatus {
        bool directory = false;
        std::uint64_t size = 0;
        std::uint32_t uid = 0;
        std::int64_t birth = 0; // 0 when the file system does not record it
        bool hasBirth = false;
        std::int64_t modified = 0;
        std::int64_t accessed = 0;
    };

    NsDirectoryHandles();
    ~NsDirectoryHandles();
    NsDirectoryHandles(const NsDirectoryHandles&) = delete;
    NsDirectoryHandles& operator=(const NsDirectoryHandles&) = delete;

    // Opens a local directory under the lowest free handle. volumePath is the
    // "\\SERVER\VOLUME\DIR" form it was reached by, for paths relative to it.
    NWCCODE allocate(const QByteArray& localPath, const QString& volumePath, std::uint32_t volumeNumber,
                     NWDIR_HANDLE& handle);
    NWCCODE release(NWDIR_HANDLE handle);
    void clear();

    // Null for a handle that is not allocated.
    const QString* volumePath(NWDIR_HANDLE handle) const;

    // The entry after sequence.searchDirNumber among the handle's
    // sub-directories (searchAttributes with 0x10) or other entries, in
    // case-insensitive name order, filtered by the wildcard pattern. Entries
    // that vanished since the listing was read are passed over.
    NWCCODE next(NWDIR_HANDLE handle, std::uint16_t searchAttributes, const QString& pattern,
                 SEARCH_SEQUENCE& sequence, QByteArray& name, EntryStatus& status);

private:
    struct Handle;

    Handle* find(NWDIR_HANDLE handle) const;

    std::array<std::unique_ptr<Handle>, kMaxHandles + 1> m_handles; // [0] unused
};
