#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

// A directory the walk has found and still has to read. It is named relative
// to its parent, so no path is ever built (trees may be deeper than PATH_MAX)
// and the pending directories of a subtree share their ancestors.
struct ScanDirectory {
    // Null for the walk's start. A chain 100,000 levels deep is released
    // without as many nested destructor calls.
    std::shared_ptr<const ScanDirectory> parent;
    std::string name; // entry name in the parent
    // What the parent's listing saw: opening must find this directory again,
    // not one renamed or mounted into its place since.
    dev_t device = 0;
    ino_t inode = 0;

    ~ScanDirectory();
};

using ScanDirectoryPtr = std::shared_ptr<const ScanDirectory>;
