#include "ui/main/result_grid_model.h"

#include "reports/fitting_sizes.h"

#include "fsview/name_bytes.h"
#include "reports/cell_format.h"

#include <algorithm>

bool ResultGridModel::isPathHeading(const QString& heading) {
    return heading == QLatin1String("Directory") || heading == QLatin1String("Volume") ||
           heading == QLatin1String("File");
}

ResultGridModel::ResultGridModel(ResultGrid& grid, QObject* parent)
    : QAbstractTableModel(parent), m_grid(grid), m_shown(int(std::max<qsizetype>(0, grid.rows() - 1))) {
    m_grid.setListener(this);
}

ResultGridModel::~ResultGridModel() {
    m_grid.setListener(nullptr);
}

int ResultGridModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_shown;
}

int ResultGridModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_grid.cols();
}

QVariant ResultGridModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_shown || index.column() >= m_grid.cols())
        return {};
    // A name that is not UTF-8 shows its odd bytes as \xHH.
    if (role == Qt::DisplayRole && m_fitting && FittingSizes::isSizeHeading(m_grid.cell(0, index.column())))
        return fittingCell(index.row() + 1, index.column());
    if (role == Qt::DisplayRole)
        return NameBytes::shown(m_grid.cell(index.row() + 1, index.column()));
    if (role == Qt::ToolTipRole) {
        // A deep path rarely fits its cell; the tooltip shows all of it.
        if (!isPathHeading(m_grid.cell(0, index.column())))
            return {};
        return NameBytes::shown(m_grid.cell(index.row() + 1, index.column()));
    }
    if (role == ShareRole) {
        if (index.column() != m_shareColumn || m_largest <= 0)
            return {};
        return std::clamp(figure(index.row() + 1) / m_largest, 0.0, 1.0);
    }
    if (role == Qt::TextAlignmentRole) {
        const Qt::Alignment horizontal =
            m_grid.alignment(index.column()) == ResultGrid::Align::Right ? Qt::AlignRight : Qt::AlignLeft;
        return QVariant::fromValue(horizontal | Qt::AlignVCenter);
    }
    return {};
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section >= m_grid.cols())
        return {};
    return m_fitting ? FittingSizes::heading(m_grid.cell(0, section)) : m_grid.cell(0, section);
}

void ResultGridModel::setFittingSizes(bool fitting) {
    if (fitting == m_fitting)
        return;
    m_fitting = fitting;
    if (m_grid.cols() > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, m_grid.cols() - 1);
    if (m_shown > 0)
        Q_EMIT dataChanged(index(0, 0), index(m_shown - 1, m_grid.cols() - 1), {Qt::DisplayRole});
}

// A folder's or an owner's size from its exact figure; any other size from
// its cell.
QString ResultGridModel::fittingCell(int gridRow, int column) const {
    const QString heading = m_grid.cell(0, column);
    const RowFigures figures = m_grid.figures(gridRow);
    const bool ofFolderOrOwner = m_grid.fcnFindColumn(QStringLiteral("File")) == ResultGrid::kNotFound &&
                                 (m_grid.fcnFindColumn(QStringLiteral("Directory")) != ResultGrid::kNotFound ||
                                  m_grid.fcnFindColumn(QStringLiteral("Owner")) != ResultGrid::kNotFound);
    std::optional<std::int64_t> exact;
    if (column == m_shareColumn && ofFolderOrOwner && figures.counted())
        exact = heading.startsWith(QLatin1String("Allocated")) ? figures.allocated : figures.bytes;
    return FittingSizes::cell(heading, m_grid.cell(gridRow, column), exact);
}

void ResultGridModel::flush() {
    m_flushQueued = false;
    const int rows = int(std::max<qsizetype>(0, m_grid.rows() - 1));
    if (rows <= m_shown)
        return;
    const double before = m_largest;
    takeLargest(m_shown + 1, rows);
    beginInsertRows({}, m_shown, rows - 1);
    m_shown = rows;
    endInsertRows();
    if (m_largest != before && m_shown > 0)
        Q_EMIT dataChanged(index(0, m_shareColumn), index(m_shown - 1, m_shareColumn), {ShareRole});
}

void ResultGridModel::gridReset() {
    beginResetModel();
    m_shown = int(std::max<qsizetype>(0, m_grid.rows() - 1));
    m_flushQueued = false;
    findShareColumn();
    endResetModel();
}

// Bars only where a row is a share of a whole: owners' used space, volumes'
// used space, directories' sizes. File rows list sizes in bytes ("Size").
void ResultGridModel::findShareColumn() {
    m_largest = 0;
    m_shareColumn = -1;
    for (const char* heading : {"Used Space(MB)", "Size(MB)", "Allocated(MB)"}) {
        const int col = m_grid.fcnFindColumn(QString::fromLatin1(heading));
        if (col != ResultGrid::kNotFound) {
            m_shareColumn = col;
            break;
        }
    }
    takeLargest(1, int(m_grid.rows()) - 1);
}

double ResultGridModel::figure(int gridRow) const {
    return CellFormat::numberValue(m_grid.cell(gridRow, m_shareColumn)).value_or(0);
}

void ResultGridModel::takeLargest(int firstGridRow, int lastGridRow) {
    if (m_shareColumn < 0)
        return;
    for (int row = firstGridRow; row <= lastGridRow; ++row)
        m_largest = std::max(m_largest, figure(row));
}

void ResultGridModel::rowsInserted(qsizetype, qsizetype) {
    if (m_flushQueued)
        return;
    m_flushQueued = true;
    QMetaObject::invokeMethod(this, &ResultGridModel::flush, Qt::QueuedConnection);
}

void ResultGridModel::rowsRemoved(qsizetype first, qsizetype last) {
    // Grid rows first..last are gone; those the view knew of leave it too.
    const int from = int(first) - 1;
    const int to = std::min(int(last) - 1, m_shown - 1);
    if (from < 0 || from > to) {
        m_shown = int(std::min<qsizetype>(m_shown, std::max<qsizetype>(0, m_grid.rows() - 1)));
        return;
    }
    beginRemoveRows({}, from, to);
    m_shown -= to - from + 1;
    endRemoveRows();
}

void ResultGridModel::rowsChanged(qsizetype first, qsizetype last) {
    const int from = std::max(0, int(first) - 1);
    const int to = std::min(int(last) - 1, m_shown - 1);
    if (first == 0) {
        findShareColumn();
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, std::max(0, m_grid.cols() - 1));
    }

    if (from > to)
        return;
    Q_EMIT dataChanged(index(from, 0), index(to, std::max(0, m_grid.cols() - 1)));
    const double before = m_largest;
    takeLargest(from + 1, to + 1);
    if (m_largest != before)
        Q_EMIT dataChanged(index(0, m_shareColumn), index(m_shown - 1, m_shareColumn), {ShareRole});
}
