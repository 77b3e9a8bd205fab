#pragma once

#include "fsview/ordered_walk.h"
#include "sizetree/size_tree.h"

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <set>
#include <utility>
#include <vector>

// Fills a SizeTree from a walk's directories as the walk hands them out,
// in pre-order. Each file is written into its directory's record as it is
// listed (recordFile, on the walk's threads), so the walk hands out no
// WalkedFile per file; a file with several names counts once, where it is
// met first.
class SizeTreeBuilder {
public:
    explicit SizeTreeBuilder(SizeTree& tree) : m_tree(tree) {}

    // For OrderedWalk::Options::recordFile; thread-safe.
    static void recordFile(const WalkedFile& file, QByteArrayView name, QByteArray& record);
    // The next directory of the walk; startName names the start folder.
    void add(const WalkedDirectory& directory, QByteArrayView startName);
    // Sums the tree: after the walk's last directory.
    void finish() { m_tree.finish(); }

private:
    void addFiles(SizeTree::Index folder, const QByteArray& record);

    SizeTree& m_tree;
    std::vector<SizeTree::Index> m_folders; // the folder at each depth of the walk's path
    std::set<std::pair<std::uint64_t, std::uint64_t>> m_linked; // device, inode of files with several names
};
