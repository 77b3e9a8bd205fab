#pragma once

#include "sizetree/size_tree.h"

#include <QAbstractItemModel>
#include <QHash>

// A SizeTree as an item model: one top row, the folder shown as the root,
// and below each folder its folders and files, largest first. Each index
// carries its entry. Sizes are apparent or allocated as chosen.
class SizeTreeModel : public QAbstractItemModel {
    Q_OBJECT
public:
    enum Column { Name, Size, ShareOfParent, Allocated, Files, Folders, Modified, Owner, ColumnCount };

    explicit SizeTreeModel(QObject* parent = nullptr);

    // The tree (kept by its owner while shown) and the folder shown as the root.
    void show(const SizeTree* tree, SizeTree::Index top);
    // The same walk with files taken out: the rows left keep their place
    // in the views (what is open, what is chosen).
    void replace(const SizeTree* tree);
    void setAllocated(bool allocated);
    bool allocated() const { return m_allocated; }
    SizeTree::Index top() const { return m_top; }
    const SizeTree* tree() const { return m_tree; }

    SizeTree::Index entryOf(const QModelIndex& index) const;
    QModelIndex indexOf(SizeTree::Index entry) const; // invalid when not below the top
    // The entry's share of its parent's size, 0 to 100.
    double shareOfParent(SizeTree::Index entry) const;

    QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    QString cell(SizeTree::Index entry, int column) const;
    QString ownerName(std::uint32_t uid) const;

    const SizeTree* m_tree = nullptr;
    SizeTree::Index m_top = SizeTree::kNone;
    bool m_allocated = false;
    mutable QHash<std::uint32_t, QString> m_owners;
};
