#pragma once

#include <sys/types.h>

#include <memory>
#include <string>

// A directory the walk has found and still has to read. It is named relative
// to its parent, so no path is ever built (trees may be deeper than PATH_MAX)
// and the pending directories of a subtree share their ancestors.
struct ScanDirectory {
    std::shared_ptr<const ScanDirectory> parent; // null for the root
    std::string name;                            // entry name in the parent
    // What the parent's listing saw: opening must find this directory again,
    // not one renamed or mounted into its place since.
    dev_t device = 0;
    ino_t inode = 0;
};

using ScanDirectoryPtr = std::shared_ptr<const ScanDirectory>;
