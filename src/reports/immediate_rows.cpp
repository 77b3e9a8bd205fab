#include "reports/immediate_rows.h"

#include "reports/cell_format.h"

void ImmediateRows::begin(const QString& path) {
    m_row = m_env.grid.addRow({QStringLiteral("0"), path, QStringLiteral("Calculating..")});
    m_env.host.pollEvents();
    m_env.grid.TopRow = fcnGridTopRow(kDirectoryGridHeight, kDirectoryRowHeight, m_env.grid.rows(), m_env.grid.TopRow);
    m_env.host.pollEvents();
    m_env.host.setStatus(QStringLiteral("Gathering Information for ") + path);
    m_sum.clear();
}

void ImmediateRows::finish() {
    if (m_row < 0)
        return;
    const double megabytes = double(m_env.search.allocatedSizes ? m_sum.allocated() : m_sum.bytes()) / 1048576.0;
    // The exact figure rounded once, as All Sub-Directories rounds it and du -sb
    // agrees (adding 0.005 first showed an empty folder as 0.01, 1 MiB as 1.01).
    m_env.grid.setCell(m_row, 2, CellFormat::padLeft(CellFormat::formatNumber(megabytes,
                                                                                QStringLiteral("###,###,##0.00"))));
    m_env.grid.setFigures(m_row, figuresOf(m_sum));
    m_env.run.sizeTotal += megabytes;
    ++m_env.run.rowCounter;
    m_row = -1;
    m_env.host.pollEvents();
}

void ImmediateRows::cancel() {
    if (m_row < 0)
        return;
    m_env.grid.setCell(m_row, 2, QStringLiteral("Cancelled"));
    m_env.grid.removeRow(m_row);
    m_row = -1;
}

RowFigures ImmediateRows::figuresOf(const SubtreeBytes& sum) {
    RowFigures figures;
    figures.bytes = std::int64_t(sum.bytes());
    figures.allocated = std::int64_t(sum.allocated());
    figures.files = std::int64_t(sum.files());
    return figures;
}
