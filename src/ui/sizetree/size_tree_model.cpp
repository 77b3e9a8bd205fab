#include "ui/sizetree/size_tree_model.h"

#include "reports/cell_format.h"
#include "ui/main/result_grid_model.h"

#include <QDateTime>
#include <QFile>
#include <QLocale>

#include <pwd.h>

#include <vector>

SizeTreeModel::SizeTreeModel(QObject* parent) : QAbstractItemModel(parent) {}

void SizeTreeModel::show(const SizeTree* tree, SizeTree::Index top) {
    beginResetModel();
    m_tree = tree && tree->size() > 0 ? tree : nullptr;
    m_top = m_tree ? top : SizeTree::kNone;
    endResetModel();
}

void SizeTreeModel::replace(const SizeTree* tree) {
    Q_EMIT layoutAboutToBeChanged();
    const QModelIndexList before = persistentIndexList();
    m_tree = tree;
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before) {
        const QModelIndex now = indexOf(entryOf(index));
        after.append(now.isValid() ? createIndex(now.row(), index.column(), now.internalId()) : QModelIndex());
    }
    changePersistentIndexList(before, after);
    Q_EMIT layoutChanged();
}

void SizeTreeModel::setAllocated(bool allocated) {
    Q_EMIT layoutAboutToBeChanged();
    m_allocated = allocated;
    Q_EMIT headerDataChanged(Qt::Horizontal, Size, Allocated);
    if (m_tree)
        Q_EMIT dataChanged(index(0, 0), index(0, ColumnCount - 1)); // views repaint what they show
    Q_EMIT layoutChanged();
}

SizeTree::Index SizeTreeModel::entryOf(const QModelIndex& index) const {
    return index.isValid() ? SizeTree::Index(index.internalId()) : SizeTree::kNone;
}

QModelIndex SizeTreeModel::indexOf(SizeTree::Index entry) const {
    if (!m_tree || entry == SizeTree::kNone || m_tree->removed(entry))
        return {};
    if (entry == m_top)
        return createIndex(0, 0, quintptr(entry));
    for (SizeTree::Index up = m_tree->parent(entry); up != SizeTree::kNone; up = m_tree->parent(up)) {
        if (up == m_top)
            return createIndex(int(m_tree->rowInParent(entry)), 0, quintptr(entry));
    }
    return {};
}

QModelIndex SizeTreeModel::index(int row, int column, const QModelIndex& parent) const {
    if (!m_tree || row < 0 || column < 0 || column >= ColumnCount)
        return {};
    if (!parent.isValid())
        return row == 0 ? createIndex(0, column, quintptr(m_top)) : QModelIndex();
    const std::span<const SizeTree::Index> children = m_tree->children(entryOf(parent));
    return std::size_t(row) < children.size() ? createIndex(row, column, quintptr(children[row])) : QModelIndex();
}

QModelIndex SizeTreeModel::parent(const QModelIndex& child) const {
    const SizeTree::Index entry = entryOf(child);
    if (!m_tree || entry == SizeTree::kNone || entry == m_top)
        return {};
    const SizeTree::Index up = m_tree->parent(entry);
    return createIndex(up == m_top ? 0 : int(m_tree->rowInParent(up)), 0, quintptr(up));
}

int SizeTreeModel::rowCount(const QModelIndex& parent) const {
    if (!m_tree)
        return 0;
    if (!parent.isValid())
        return 1;
    if (parent.column() != 0)
        return 0;
    return int(m_tree->children(entryOf(parent)).size());
}

int SizeTreeModel::columnCount(const QModelIndex&) const {
    return ColumnCount;
}

double SizeTreeModel::shareOfParent(SizeTree::Index entry) const {
    const SizeTree::Index up = entry == m_top ? SizeTree::kNone : m_tree->parent(entry);
    if (up == SizeTree::kNone)
        return 100.0;
    // Of what the folder's entries take, so a folder's shares add up to 100:
    // its sum less its own inode (not a pass over a folder of 100,000 files
    // for each row painted).
    const SizeTree::Item& own = m_tree->item(up);
    const std::uint64_t below = m_tree->bytes(up, m_allocated) - (m_allocated ? own.allocated : own.size);
    return below ? 100.0 * double(m_tree->bytes(entry, m_allocated)) / double(below) : 0.0;
}

QString SizeTreeModel::ownerName(std::uint32_t uid) const {
    const auto known = m_owners.constFind(uid);
    if (known != m_owners.cend())
        return *known;
    passwd entry{};
    passwd* found = nullptr;
    std::vector<char> buffer(16384);
    const bool named = getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found) == 0 && found;
    return *m_owners.insert(uid, named ? QFile::decodeName(found->pw_name) : QString::number(uid));
}

QString SizeTreeModel::cell(SizeTree::Index entry, int column) const {
    const SizeTree::Sums sums = m_tree->sums(entry);
    const QLocale locale;
    switch (column) {
    case Name: return QFile::decodeName(m_tree->name(entry));
    case Size: return CellFormat::formatNumber(double(m_tree->bytes(entry, m_allocated)) / 1048576.0,
                                               QStringLiteral("###,###,##0.00"));
    case ShareOfParent: return locale.toString(shareOfParent(entry), 'f', 1) + QStringLiteral(" %");
    case Allocated: return CellFormat::formatNumber(double(m_tree->bytes(entry, !m_allocated)) / 1048576.0,
                                                    QStringLiteral("###,###,##0.00"));
    case Files: return m_tree->isFolder(entry) ? locale.toString(qulonglong(sums.files)) : QString();
    case Folders: return m_tree->isFolder(entry) ? locale.toString(qulonglong(sums.folders)) : QString();
    case Modified: // 0: a source without times
        return sums.newest == 0 ? QString()
                                : locale.toString(QDateTime::fromSecsSinceEpoch(sums.newest), QLocale::ShortFormat);
    case Owner: {
        const std::uint32_t uid = m_tree->item(entry).uid;
        return uid == SizeTree::kNoOwner ? QString() : ownerName(uid);
    }
    }
    return {};
}

QVariant SizeTreeModel::data(const QModelIndex& index, int role) const {
    const SizeTree::Index entry = entryOf(index);
    if (!m_tree || entry == SizeTree::kNone)
        return {};
    if (role == Qt::DisplayRole)
        return cell(entry, index.column());
    if (role == Qt::TextAlignmentRole && index.column() != Name && index.column() != Owner)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == ResultGridModel::ShareRole && index.column() == ShareOfParent)
        return shareOfParent(entry) / 100.0;
    return {};
}

QVariant SizeTreeModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case Name: return QStringLiteral("Name");
    case Size: return m_allocated ? QStringLiteral("Allocated(MB)") : QStringLiteral("Size(MB)");
    case ShareOfParent: return QStringLiteral("% of Parent");
    case Allocated: return m_allocated ? QStringLiteral("Apparent(MB)") : QStringLiteral("Allocated(MB)");
    case Files: return QStringLiteral("Files");
    case Folders: return QStringLiteral("Folders");
    case Modified: return QStringLiteral("Modified");
    case Owner: return QStringLiteral("Owner");
    }
    return {};
}
