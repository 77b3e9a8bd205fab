#pragma once

#include <QStyledItemDelegate>

// Draws a size cell's share of the largest row as a thin bar behind its
// text, as other disk-usage tools do. Every cell stays on one line: paths
// are cut in the middle, figures drop the blanks that pad them, and a cell
// cut short shows its whole text as a tooltip.
class ShareBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    bool helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                   const QModelIndex& index) override;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override;
};
