#pragma once

#include "reports/report_env.h"
#include "sizetree/size_tree.h"

#include <QHash>
#include <QSet>

#include <span>

// Files taken out of a size tree, taken out of the rows of the Directory
// run that filled it and out of its totals line, as the run would have
// counted without them: a row of a folder's own files loses the files of
// that folder, a row of a subdirectory's whole subtree every file below it.
// A file with another name still counted by the same row keeps its space
// there, as the run counted it once.
class DirectoryRowsRemoval {
public:
    // env: the window's, its grid the run's rows; tree: the files already taken out.
    DirectoryRowsRemoval(ReportEnv& env, const SizeTree& tree);

    void take(std::span<const SizeTree::Index> files);

private:
    SizeTree::Index rowFolderOf(SizeTree::Index file) const;
    bool stillCounted(SizeTree::Index file, SizeTree::Index rowFolder) const;
    void takeFromTotal(SizeTree::Index file);
    void takeFromRow(SizeTree::Index file);
    double shown(std::uint64_t bytes, std::uint64_t allocated) const;

    ReportEnv& m_env;
    const SizeTree& m_tree;
    bool m_allocated = false;                 // the rows give the blocks taken
    QHash<QString, qsizetype> m_rows;         // by their Directory cell
    QSet<QPair<qsizetype, quint64>> m_gone;   // row and inode whose space left it
    QSet<quint64> m_goneFromTotal;            // inodes whose space left the total
};
