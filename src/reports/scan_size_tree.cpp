#include "reports/scan_size_tree.h"

#include <set>
#include <utility>
#include <vector>

namespace ScanSizeTree {

std::shared_ptr<SizeTree> of(const NcduScan& scan) {
    auto tree = std::make_shared<SizeTree>();
    // The folders holding the entry at hand, each with the end of its subtree.
    std::vector<std::pair<SizeTree::Index, std::size_t>> open;
    std::set<std::pair<std::uint64_t, std::uint64_t>> linked;
    for (std::size_t i = 0; i < scan.size(); ++i) {
        while (!open.empty() && open.back().second <= i)
            open.pop_back();
        const NcduScan::Entry& entry = scan.entry(i);
        const bool start = i == 0;
        if (!start && entry.excluded != NcduScan::Excluded::None)
            continue;
        if (!start && open.empty())
            break; // the start folder's subtree ended: nothing below it is left
        SizeTree::Item item;
        item.size = entry.apparent;
        item.allocated = entry.allocated;
        item.mtime = entry.mtime;
        item.inode = entry.inode;
        item.uid = entry.owned ? entry.uid : SizeTree::kNoOwner;
        const SizeTree::Index parent = open.empty() ? SizeTree::kNone : open.back().first;
        if (start || entry.directory) {
            open.emplace_back(tree->addFolder(parent, scan.name(i), item, entry.device), entry.end);
            continue;
        }
        const bool again = entry.hardLinked && !linked.insert({entry.device, entry.inode}).second;
        tree->addFile(parent, scan.name(i), item, again, entry.hardLinked);
    }
    tree->finish();
    return tree;
}

} // namespace ScanSizeTree
