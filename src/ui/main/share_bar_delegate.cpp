#include "ui/main/share_bar_delegate.h"

#include "ui/main/result_grid_model.h"

#include <QPainter>

void ShareBarDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const {
    const QVariant share = index.data(ResultGridModel::ShareRole);
    if (share.isValid()) {
        const QRect cell = option.rect.adjusted(2, option.rect.height() - 5, -2, -2);
        QRect bar = cell;
        bar.setWidth(int(cell.width() * share.toDouble()));
        QColor colour = option.palette.color(QPalette::Highlight);
        colour.setAlpha(110);
        painter->fillRect(bar, colour);
    }
    QStyledItemDelegate::paint(painter, option, index);
}
