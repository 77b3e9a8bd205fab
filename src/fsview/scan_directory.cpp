#include "fsview/scan_directory.h"

#include <vector>

namespace {

// The ancestors the outermost release on this thread still has to let go.
thread_local std::vector<ScanDirectoryPtr>* t_releasing = nullptr;

} // namespace

ScanDirectory::~ScanDirectory() {
    // A directory released while another is being released hands its parent
    // to the outer release instead of releasing it itself: a chain of any
    // length goes one link at a time, never one nested call per level. Only
    // a directory's own parent is touched, and only once no one else holds
    // the directory, so workers releasing at once need no lock.
    if (t_releasing) {
        t_releasing->push_back(std::move(parent));
        return;
    }
    std::vector<ScanDirectoryPtr> pending;
    pending.push_back(std::move(parent));
    t_releasing = &pending;
    while (!pending.empty()) {
        ScanDirectoryPtr last = std::move(pending.back());
        pending.pop_back();
        last.reset();
    }
    t_releasing = nullptr;
}
