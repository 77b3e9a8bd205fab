#pragma once

#include <QStyledItemDelegate>

// Draws a size cell's share of the largest row as a thin bar behind its
// text, as other disk-usage tools do; the text stays as it is.
class ShareBarDelegate : public QStyledItemDelegate {
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
