#pragma once

#include "sizetree/treemap_layout.h"

#include <QImage>
#include <QWidget>

#include <memory>
#include <vector>

// The treemap of a folder of a SizeTree: laid out and painted off the
// window's thread into an image, again after each resize; the selected
// entry outlined; a click selects the entry under it, and hovering tells
// its path and size.
class TreemapView : public QWidget {
    Q_OBJECT
public:
    explicit TreemapView(QWidget* parent = nullptr);
    ~TreemapView() override;

    void show(std::shared_ptr<const SizeTree> tree, SizeTree::Index top, bool allocated);
    void select(SizeTree::Index entry);
    // The tiles of the image shown (for tests: drawn, not merely asked for).
    const std::vector<TreemapLayout::Tile>& tiles() const { return m_tiles; }
    // The deepest tile at a point of the widget.
    SizeTree::Index entryAt(const QPointF& at) const;

Q_SIGNALS:
    void entryClicked(SizeTree::Index entry);
    void entryDoubleClicked(SizeTree::Index entry);
    void drawn();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;

private:
    void redraw();
    void take(unsigned generation, std::vector<TreemapLayout::Tile> tiles, QImage image);

    std::shared_ptr<const SizeTree> m_tree;
    SizeTree::Index m_top = SizeTree::kNone;
    SizeTree::Index m_selected = SizeTree::kNone;
    bool m_allocated = false;
    unsigned m_generation = 0; // of the latest drawing asked for; older ones are dropped
    std::vector<TreemapLayout::Tile> m_tiles;
    QImage m_image;
};
