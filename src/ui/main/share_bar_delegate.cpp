#include "ui/main/share_bar_delegate.h"

#include "ui/main/result_grid_model.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>

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

void ShareBarDelegate::initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const {
    QStyledItemDelegate::initStyleOption(option, index);
    // Wrapped, a name with blanks would show only its first words.
    option->features &= ~QStyleOptionViewItem::WrapText;
    const QString heading = index.model()->headerData(index.column(), Qt::Horizontal).toString();
    if (ResultGridModel::isPathHeading(heading))
        option->textElideMode = Qt::ElideMiddle; // the volume and the last folder stay in view
    else if (option->displayAlignment & Qt::AlignRight)
        option->text = option->text.trimmed(); // padding would cut a figure that fits
}

bool ShareBarDelegate::helpEvent(QHelpEvent* event, QAbstractItemView* view, const QStyleOptionViewItem& option,
                                 const QModelIndex& index) {
    if (event && view && event->type() == QEvent::ToolTip && index.isValid()) {
        QStyleOptionViewItem shown = option;
        initStyleOption(&shown, index);
        const QStyle* style = view->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, view) + 1;
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &shown, view);
        if (QFontMetrics(shown.font).horizontalAdvance(shown.text) > room.width() - 2 * margin) {
            QToolTip::showText(event->globalPos(), shown.text, view->viewport(), option.rect);
            return true;
        }
    }
    return QStyledItemDelegate::helpEvent(event, view, option, index);
}
