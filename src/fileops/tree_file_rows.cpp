#include "fileops/tree_file_rows.h"

#include "fsview/name_bytes.h"
#include "reports/grid_layouts.h"
#include "reports/listed_folder_trail.h"

#include <QSet>

TreeFileRows::TreeFileRows(const SizeTree& tree, std::span<const SizeTree::Index> files) : m_tree(tree) {
    subInitializeGrid(m_grid, QStringLiteral("File"));
    m_directoryCol = m_grid.fcnFindColumn(QStringLiteral("Directory"));
    m_fileCol = m_grid.fcnFindColumn(QStringLiteral("File"));
    for (const SizeTree::Index file : files) {
        if (file < tree.size() && !tree.isFolder(file) && !tree.removed(file))
            addRow(file);
    }
    for (qsizetype row = 1; row < m_grid.rows(); ++row)
        m_grid.selectedRows.append(row);
    m_grid.Row = m_grid.rows() > 1 ? 1 : 0;
    m_grid.RowSel = m_grid.rows() - 1;
}

ReportEnv TreeFileRows::env(const ReportEnv& main) {
    return ReportEnv{main.app, main.search, m_run, m_grid, m_view, main.host, main.client, main.volumes, nullptr};
}

std::vector<SizeTree::Index> TreeFileRows::done() const {
    QSet<const RowRecord*> left;
    for (qsizetype row = 1; row < m_grid.rows(); ++row)
        left.insert(m_grid.record(row));
    std::vector<SizeTree::Index> gone;
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (!left.contains(m_records[i]))
            gone.push_back(m_files[i]);
    }
    return gone;
}

// The cells a File run shows that the acts read: the folder as the rows
// show it, the name.
void TreeFileRows::addRow(SizeTree::Index file) {
    const SizeTree::Index folder = m_tree.parent(file);
    auto record = std::make_shared<const RowRecord>(RowRecord{folderOf(folder), m_tree.name(file), m_tree.identity(file)});
    QStringList cells(m_grid.cols());
    cells[m_directoryCol] = NameBytes::decode(m_tree.path(folder, '\\'));
    cells[m_fileCol] = NameBytes::decode(record->name);
    m_records.push_back(record.get());
    m_files.push_back(file);
    m_grid.addRow(cells, std::move(record));
}

// The start as a File listing of it would have it: the folders above it
// only passed, the start itself as the walk listed it.
std::shared_ptr<const ListedFolderNode> TreeFileRows::startFolder() const {
    const SizeTree::Start& start = m_tree.start();
    ListedFolderTrail trail(start.server, start.volume, start.names);
    WalkedDirectory listed;
    listed.device = m_tree.device(0);
    listed.inode = m_tree.item(0).inode;
    return trail.enter(listed);
}

// Folders of the chosen files share their parents, as a walk's rows do.
const std::shared_ptr<const ListedFolderNode>& TreeFileRows::folderOf(SizeTree::Index folder) {
    const auto known = m_folders.constFind(folder);
    if (known != m_folders.cend())
        return *known;
    const SizeTree::Index up = m_tree.parent(folder);
    std::shared_ptr<const ListedFolderNode> node =
        up == SizeTree::kNone ? startFolder()
                              : std::make_shared<const ListedFolderNode>(ListedFolderNode{
                                    folderOf(up), m_tree.name(folder), {}, {}, m_tree.device(folder),
                                    m_tree.item(folder).inode});
    return *m_folders.insert(folder, std::move(node));
}
