#include "reports/result_grid.h"

#include <algorithm>

void ResultGrid::reset(int cols) {
    m_cols = cols;
    m_cells = {QStringList(cols)};
    m_facts = {RowFacts{}};
    selectedRows.clear();
    m_widths = QList<int>(cols, 0);
    m_aligns = QList<Align>(cols, Align::Left);
    Row = RowSel = TopRow = 0;
    Col = ColSel = 0;
    if (m_listener)
        m_listener->gridReset();
}

void ResultGrid::setColumn(int col, const QString& heading, int width, Align align) {
    if (col < 0 || col >= m_cols)
        return;
    m_cells[0][col] = heading;
    m_widths[col] = width;
    m_aligns[col] = align;
    notifyChanged(0);
}

QString ResultGrid::cell(qsizetype row, int col) const {
    if (row < 0 || row >= m_cells.size() || col < 0 || col >= m_cols)
        return {};
    return m_cells[row][col];
}

void ResultGrid::setCell(qsizetype row, int col, const QString& text) {
    if (row < 0 || row >= m_cells.size() || col < 0 || col >= m_cols)
        return;
    m_cells[row][col] = text;
    notifyChanged(row);
}

qsizetype ResultGrid::addRow() {
    m_cells.append(QStringList(m_cols));
    m_facts.append(RowFacts{});
    const qsizetype row = m_cells.size() - 1;
    if (m_listener)
        m_listener->rowsInserted(row, row);
    return row;
}

qsizetype ResultGrid::addRow(const QStringList& cells, std::shared_ptr<const RowRecord> record,
                             const RowFigures& figures) {
    QStringList row = cells.mid(0, m_cols);
    while (row.size() < m_cols)
        row.append(QString());
    m_cells.append(row);
    m_facts.append(RowFacts{std::move(record), figures});
    const qsizetype index = m_cells.size() - 1;
    if (m_listener)
        m_listener->rowsInserted(index, index);
    return index;
}

void ResultGrid::removeRow(qsizetype row) {
    if (row <= 0 || row >= m_cells.size())
        return;
    m_cells.removeAt(row);
    m_facts.removeAt(row);
    if (m_listener)
        m_listener->rowsRemoved(row, row);
}

void ResultGrid::removeRows(QList<qsizetype> rows) {
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
    rows.removeIf([this](qsizetype row) { return row <= 0 || row >= m_cells.size(); });
    if (rows.isEmpty())
        return;
    qsizetype kept = rows.first();
    qsizetype next = 0;
    for (qsizetype row = rows.first(); row < m_cells.size(); ++row) {
        if (next < rows.size() && rows[next] == row) {
            ++next;
            continue;
        }
        m_facts[kept] = std::move(m_facts[row]);
        m_cells[kept++] = std::move(m_cells[row]);
    }
    m_cells.resize(kept);
    m_facts.resize(kept);
    if (!m_listener)
        return;
    // From the bottom up, so each range still names the rows it did.
    for (qsizetype end = rows.size() - 1; end >= 0;) {
        qsizetype start = end;
        while (start > 0 && rows[start - 1] == rows[start] - 1)
            --start;
        m_listener->rowsRemoved(rows[start], rows[end]);
        end = start - 1;
    }
}

void ResultGrid::reorderRows(const QList<qsizetype>& order) {
    if (order.size() != m_cells.size() - 1)
        return;
    QList<QStringList> sorted;
    QList<RowFacts> facts;
    sorted.reserve(m_cells.size());
    facts.reserve(m_cells.size());
    sorted.append(std::move(m_cells[0]));
    facts.append(RowFacts{});
    for (const qsizetype row : order) {
        sorted.append(std::move(m_cells[row]));
        facts.append(std::move(m_facts[row]));
    }
    m_cells = std::move(sorted);
    m_facts = std::move(facts);
    if (m_listener && m_cells.size() > 1)
        m_listener->rowsChanged(1, m_cells.size() - 1);
}

const RowRecord* ResultGrid::record(qsizetype row) const {
    return row > 0 && row < m_facts.size() ? m_facts[row].record.get() : nullptr;
}

std::shared_ptr<const RowRecord> ResultGrid::sharedRecord(qsizetype row) const {
    return row > 0 && row < m_facts.size() ? m_facts[row].record : nullptr;
}

RowFigures ResultGrid::figures(qsizetype row) const {
    return row > 0 && row < m_facts.size() ? m_facts[row].figures : RowFigures();
}

void ResultGrid::setFigures(qsizetype row, const RowFigures& figures) {
    if (row > 0 && row < m_facts.size())
        m_facts[row].figures = figures;
}

int ResultGrid::addColumn(const QString& heading, int width, Align align) {
    for (QStringList& row : m_cells)
        row.append(QString());
    m_widths.append(width);
    m_aligns.append(align);
    const int col = m_cols++;
    m_cells[0][col] = heading;
    if (m_listener)
        m_listener->gridReset();
    return col;
}

ResultGrid ResultGrid::snapshot() const {
    ResultGrid copy(*this);
    copy.m_listener = nullptr;
    return copy;
}

int ResultGrid::fcnFindColumn(const QString& heading) const {
    for (int col = 0; col < m_cols; ++col) {
        if (m_cells[0][col] == heading)
            return col;
    }
    return kNotFound;
}

void ResultGrid::notifyChanged(qsizetype row) {
    if (m_listener)
        m_listener->rowsChanged(row, row);
}

void ResultGrid::dropColumnsFrom(int col) {
    if (col < 0 || col >= m_cols)
        return;
    for (QStringList& row : m_cells)
        row.resize(col);
    m_widths.resize(col);
    m_aligns.resize(col);
    m_cols = col;
    if (m_listener)
        m_listener->gridReset();
}

qsizetype fcnGridTopRow(int gridHeight, int rowHeight, qsizetype rowCount, qsizetype currentTop) {
    if (rowHeight <= 0 || qint64(gridHeight) >= rowCount * rowHeight)
        return currentTop;
    return rowCount - (gridHeight / rowHeight - 2);
}
