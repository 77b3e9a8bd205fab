#pragma once

#include "reports/report_env.h"
#include "reports/row_record.h"
#include "sizetree/size_tree.h"

#include <QHash>

#include <memory>
#include <span>
#include <vector>

// Files chosen in a size tree as the rows of a File listing, each with the
// record a listing's row keeps (its folders by raw names from the volume
// root, its name, its identity as the walk saw it), so the grid's Delete and
// Move act on them by the same rules; afterwards, which of them went.
class TreeFileRows {
public:
    TreeFileRows(const SizeTree& tree, std::span<const SizeTree::Index> files);

    // The main window's env with these rows as its grid, all of them
    // chosen, and run figures and a totals line of their own, which the
    // acts rewrite.
    ReportEnv env(const ReportEnv& main);
    int directoryCol() const { return m_directoryCol; }
    int fileCol() const { return m_fileCol; }
    // The files whose rows the act took away: those deleted or moved.
    std::vector<SizeTree::Index> done() const;

private:
    const std::shared_ptr<const ListedFolderNode>& folderOf(SizeTree::Index folder);
    std::shared_ptr<const ListedFolderNode> startFolder() const;
    void addRow(SizeTree::Index file);

    const SizeTree& m_tree;
    ResultGrid m_grid;
    int m_directoryCol = -1;
    int m_fileCol = -1;
    RunState m_run;
    ResultsView m_view;
    std::vector<SizeTree::Index> m_files;    // row i + 1's file
    std::vector<const RowRecord*> m_records; // beside m_files
    QHash<SizeTree::Index, std::shared_ptr<const ListedFolderNode>> m_folders;
};
