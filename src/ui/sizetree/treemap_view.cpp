#include "ui/sizetree/treemap_view.h"

#include "reports/cell_format.h"
#include "ui/sizetree/cushion_painter.h"

#include <QCoreApplication>
#include <QFile>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QThreadPool>
#include <QToolTip>

TreemapView::TreemapView(QWidget* parent) : QWidget(parent) {
    setMouseTracking(true);
    setMinimumSize(200, 150);
    setAccessibleName(QStringLiteral("Treemap"));
}

TreemapView::~TreemapView() = default;

void TreemapView::show(std::shared_ptr<const SizeTree> tree, SizeTree::Index top, bool allocated) {
    if (tree != m_tree) {
        // The tiles and the selection name entries of the tree they were drawn from.
        m_tiles.clear();
        m_image = QImage();
        m_selected = SizeTree::kNone;
    }
    m_tree = std::move(tree);
    m_top = top;
    m_allocated = allocated;
    redraw();
}

void TreemapView::select(SizeTree::Index entry) {
    m_selected = entry;
    update();
}

// Lays out and paints on a pool thread; the tree is shared, so a new run
// replacing the window's tree leaves this one whole until the drawing ends.
void TreemapView::redraw() {
    const unsigned generation = ++m_generation;
    if (!m_tree || m_top == SizeTree::kNone || m_tree->size() == 0 || width() <= 0 || height() <= 0) {
        take(generation, {}, QImage());
        return;
    }
    QPointer<TreemapView> self(this);
    QThreadPool::globalInstance()->start([self, generation, tree = m_tree, top = m_top, allocated = m_allocated,
                                          size = size()] {
        std::vector<TreemapLayout::Tile> tiles = TreemapLayout::of(*tree, top, QRectF(QPointF(0, 0), size), allocated);
        QImage image = CushionPainter::paint(*tree, tiles, size);
        QMetaObject::invokeMethod(
            qApp,
            [self, generation, tiles = std::move(tiles), image = std::move(image)]() mutable {
                if (self)
                    self->take(generation, std::move(tiles), std::move(image));
            },
            Qt::QueuedConnection);
    });
}

void TreemapView::take(unsigned generation, std::vector<TreemapLayout::Tile> tiles, QImage image) {
    if (generation != m_generation)
        return;
    m_tiles = std::move(tiles);
    m_image = std::move(image);
    update();
    Q_EMIT drawn();
}

SizeTree::Index TreemapView::entryAt(const QPointF& at) const {
    SizeTree::Index found = SizeTree::kNone;
    int depth = -1;
    for (const TreemapLayout::Tile& tile : m_tiles) {
        if (tile.depth > depth && tile.rect.contains(at)) {
            found = tile.entry;
            depth = tile.depth;
        }
    }
    return found;
}

void TreemapView::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (m_image.isNull()) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.drawImage(QPointF(0, 0), m_image);
    for (const TreemapLayout::Tile& tile : m_tiles) {
        if (tile.entry == m_selected) {
            painter.setPen(QPen(Qt::yellow, 2));
            painter.drawRect(tile.rect.adjusted(1, 1, -1, -1));
            break;
        }
    }
}

void TreemapView::resizeEvent(QResizeEvent*) {
    redraw();
}

void TreemapView::mousePressEvent(QMouseEvent* event) {
    const SizeTree::Index entry = entryAt(event->position());
    if (entry != SizeTree::kNone)
        Q_EMIT entryClicked(entry);
}

void TreemapView::mouseDoubleClickEvent(QMouseEvent* event) {
    const SizeTree::Index entry = entryAt(event->position());
    if (entry != SizeTree::kNone)
        Q_EMIT entryDoubleClicked(entry);
}

void TreemapView::mouseMoveEvent(QMouseEvent* event) {
    const SizeTree::Index entry = entryAt(event->position());
    if (entry == SizeTree::kNone || !m_tree) {
        QToolTip::hideText();
        return;
    }
    const QString size = CellFormat::formatNumber(double(m_tree->bytes(entry, m_allocated)) / 1048576.0,
                                                  QStringLiteral("###,###,##0.00"));
    QToolTip::showText(event->globalPosition().toPoint(),
                       QStringLiteral("%1\n%2 MB").arg(QFile::decodeName(m_tree->path(entry, '\\')), size), this);
}
