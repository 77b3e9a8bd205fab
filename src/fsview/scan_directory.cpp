#include "fsview/scan_directory.h"

ScanDirectory::~ScanDirectory() {
    // Releases the ancestors this was the last holder of one at a time, each
    // emptied of its own parent first, so none of them recurses.
    ScanDirectoryPtr up = std::move(parent);
    while (up && up.use_count() == 1) {
        ScanDirectoryPtr next = std::move(up->parent);
        up = std::move(next);
    }
}
