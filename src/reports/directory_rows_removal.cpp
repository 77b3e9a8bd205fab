#include "reports/directory_rows_removal.h"

#include "fsview/name_bytes.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"

namespace {

constexpr double kMegabyte = 1048576.0;

} // namespace

DirectoryRowsRemoval::DirectoryRowsRemoval(ReportEnv& env, const SizeTree& tree) : m_env(env), m_tree(tree) {
    const ResultGrid& grid = env.grid;
    m_allocated = grid.fcnFindColumn(QStringLiteral("Allocated(MB)")) != ResultGrid::kNotFound;
    const int directoryCol = grid.fcnFindColumn(QStringLiteral("Directory"));
    if (directoryCol == ResultGrid::kNotFound)
        return;
    for (qsizetype row = 1; row < grid.rows(); ++row)
        m_rows.insert(grid.cell(row, directoryCol), row);
}

void DirectoryRowsRemoval::take(std::span<const SizeTree::Index> files) {
    if (m_rows.isEmpty())
        return;
    for (const SizeTree::Index file : files) {
        if (!m_tree.start().subtreeRows)
            takeFromTotal(file);
        takeFromRow(file);
    }
    m_env.view.lblGraphStats = fcnTotalsLine(m_env.grid, m_env.run.sizeTotal);
}

// The folder whose row counted the file: its own folder's, or with rows of
// whole subtrees the subdirectory of the start it lies in (the start's own
// files are in no row).
SizeTree::Index DirectoryRowsRemoval::rowFolderOf(SizeTree::Index file) const {
    SizeTree::Index folder = m_tree.parent(file);
    if (!m_tree.start().subtreeRows)
        return folder;
    if (m_tree.parent(folder) == SizeTree::kNone)
        return SizeTree::kNone;
    while (m_tree.parent(m_tree.parent(folder)) != SizeTree::kNone)
        folder = m_tree.parent(folder);
    return folder;
}

// Whether another name of the file, still there, keeps its space in the row.
bool DirectoryRowsRemoval::stillCounted(SizeTree::Index file, SizeTree::Index rowFolder) const {
    for (const SizeTree::Index other : m_tree.otherNames(file)) {
        if (rowFolderOf(other) == rowFolder)
            return true;
    }
    return false;
}

double DirectoryRowsRemoval::shown(std::uint64_t bytes, std::uint64_t allocated) const {
    return double(m_allocated ? allocated : bytes) / kMegabyte;
}

// A run of own-files rows totals the walk's files, each once.
void DirectoryRowsRemoval::takeFromTotal(SizeTree::Index file) {
    const SizeTree::Item& item = m_tree.item(file);
    if (!m_tree.otherNames(file).empty() || m_goneFromTotal.contains(item.inode))
        return;
    m_goneFromTotal.insert(item.inode);
    m_env.run.sizeTotal -= shown(item.size, item.allocated);
}

void DirectoryRowsRemoval::takeFromRow(SizeTree::Index file) {
    const SizeTree::Index folder = rowFolderOf(file);
    if (folder == SizeTree::kNone)
        return;
    const qsizetype row = m_rows.value(NameBytes::decode(m_tree.path(folder, '\\')), -1);
    RowFigures figures = row > 0 ? m_env.grid.figures(row) : RowFigures{};
    if (!figures.counted())
        return; // no such row, or one never measured
    const SizeTree::Item& item = m_tree.item(file);
    --figures.files;
    const bool space = !stillCounted(file, folder) && !m_gone.contains({row, item.inode});
    if (space) {
        m_gone.insert({row, item.inode});
        figures.bytes -= std::int64_t(item.size);
        figures.allocated -= std::int64_t(item.allocated);
        // Rows of whole subtrees add up to the total.
        if (m_tree.start().subtreeRows)
            m_env.run.sizeTotal -= shown(item.size, item.allocated);
    }
    m_env.grid.setFigures(row, figures);
    const double megabytes = shown(std::uint64_t(figures.bytes), std::uint64_t(figures.allocated));
    m_env.grid.setCell(row, 2, CellFormat::padLeft(CellFormat::formatNumber(megabytes,
                                                                              QStringLiteral("###,###,###,##0.00"))));
}
