#pragma once

#include "fsview/scan_directory.h"

#include <cstddef>
#include <string>
#include <vector>

// The directories one worker keeps open so their subdirectories open
// relative to them. A parent no longer at hand is reopened from the nearest
// directory that is: up through ".." from an open subdirectory (a depth-first
// walk backs out of deep trees that way), else down by name from an open
// ancestor or the root, one name at a time, so no path is longer than a name
// and no symbolic link is passed. The cache is small and per worker, so open
// descriptors stay bounded however deep or wide the tree is.
class DirectoryFdCache {
public:
    DirectoryFdCache(int rootFd, std::size_t capacity);
    ~DirectoryFdCache();
    DirectoryFdCache(const DirectoryFdCache&) = delete;
    DirectoryFdCache& operator=(const DirectoryFdCache&) = delete;

    // The cache size each of threads workers may have under this process's
    // descriptor limit: many workers under a low limit get a smaller cache
    // rather than failing to open directories.
    static std::size_t capacityPerWorker(int threads);
    // Listing threads for a walk: the count asked for, else one per core.
    static int workerCount(int requested);

    // A new descriptor of dir for reading; -1 with errno set when it cannot be
    // opened. The caller checks that it is the directory listed. sameMount
    // tells that it was opened without leaving its parent's mount (nothing
    // was mounted onto its name since it was found), so its device is the
    // one it was found on; then the inode alone is left to check.
    int open(const ScanDirectory& dir, bool& sameMount);
    // Takes fd, an open descriptor of dir, for opening dir's subdirectories;
    // the least recently used one is closed when the cache is full.
    void keep(ScanDirectoryPtr dir, int fd);
    // Closes every cached descriptor: the process has run out of them.
    void clear();

private:
    struct Entry {
        ScanDirectoryPtr dir;
        int fd;
    };
    struct Below {
        int fd = -1;           // an open subdirectory of the wanted directory
        std::size_t steps = 0; // levels up from it
    };

    int parentFd(const ScanDirectoryPtr& dir);
    int find(const ScanDirectory* dir) const;
    int touch(const ScanDirectory* dir);
    Below nearestBelow(const ScanDirectory* dir) const;
    int openUp(const Below& below, const ScanDirectory& dir) const;
    int openDown(const ScanDirectory* dir);

    int m_rootFd;
    std::size_t m_capacity;
    std::vector<Entry> m_entries;           // most recently used last
    std::vector<const std::string*> m_path; // openDown's names, kept to spare allocations
    bool m_openWithinMount = true;          // until the kernel turns openat2 down
};
