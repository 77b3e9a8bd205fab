#pragma once

#include <QString>

#include <sys/stat.h>

#include <cstdint>

// What makes a file the one a listing saw: the same inode on the same
// device, and neither its content nor its status changed since (sizes and
// times to the nanosecond).
struct FileIdentity {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::uint64_t size = 0;
    std::int64_t mtime = 0;
    std::uint32_t mtimeNsec = 0;
    std::int64_t ctime = 0;
    std::uint32_t ctimeNsec = 0;

    static FileIdentity of(const struct stat& st);

    bool sameInode(const struct stat& st) const { return device == st.st_dev && inode == st.st_ino; }
    bool sameStatusTime(const struct stat& st) const {
        return ctime == st.st_ctim.tv_sec && ctimeNsec == std::uint32_t(st.st_ctim.tv_nsec);
    }
    // Why st is not this file ("it was replaced by another file", ...);
    // empty when it is. With ownChange, a status time this program's own
    // act gave the file (a name of it removed or moved) is not a change.
    QString difference(const struct stat& st, const struct stat* ownChange = nullptr) const;
};
