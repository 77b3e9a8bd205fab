#include "sizetree/treemap_layout.h"

#include <algorithm>

namespace TreemapLayout {

namespace {

struct Sized {
    SizeTree::Index entry;
    double area;
};

// The worst aspect ratio of a row of total area sum along a side of length side.
double worst(double side, double sum, double largest, double smallest) {
    const double s2 = sum * sum;
    const double w2 = side * side;
    return std::max(w2 * largest / s2, s2 / (w2 * smallest));
}

class Layout {
public:
    Layout(const SizeTree& tree, bool allocated, double minArea)
        : m_tree(tree), m_allocated(allocated), m_minArea(minArea) {}

    void place(SizeTree::Index folder, const QRectF& rect, int depth) {
        m_tiles.push_back({folder, rect, depth});
        if (!m_tree.isFolder(folder))
            return;
        const double total = double(m_tree.bytes(folder, m_allocated));
        if (total <= 0)
            return;
        const double scale = rect.width() * rect.height() / total;
        std::vector<Sized> items;
        for (const SizeTree::Index child : m_tree.children(folder)) {
            const double area = double(m_tree.bytes(child, m_allocated)) * scale;
            if (area > 0)
                items.push_back({child, area});
        }
        std::stable_sort(items.begin(), items.end(), [](const Sized& a, const Sized& b) { return a.area > b.area; });
        squarify(items, rect, depth + 1);
    }

    std::vector<Tile> take() { return std::move(m_tiles); }

private:
    void squarify(const std::vector<Sized>& items, QRectF rest, int depth) {
        std::size_t begin = 0;
        while (begin < items.size()) {
            const double side = std::min(rest.width(), rest.height());
            std::size_t end = begin + 1;
            double sum = items[begin].area;
            while (end < items.size() && side > 0) {
                const double with = sum + items[end].area;
                if (worst(side, with, items[begin].area, items[end].area) >
                    worst(side, sum, items[begin].area, items[end - 1].area))
                    break;
                sum = with;
                ++end;
            }
            rest = placeRow(items, begin, end, sum, rest, depth);
            begin = end;
        }
    }

    // Lays items [begin, end) along the shorter side of rest; what is left.
    QRectF placeRow(const std::vector<Sized>& items, std::size_t begin, std::size_t end, double sum, QRectF rest,
                    int depth) {
        const bool column = rest.width() >= rest.height(); // a column at the left, else a row at the top
        const double side = column ? rest.height() : rest.width();
        const double thickness = side > 0 ? sum / side : 0;
        double along = column ? rest.top() : rest.left();
        for (std::size_t i = begin; i < end; ++i) {
            const double length = thickness > 0 ? items[i].area / thickness : 0;
            const QRectF tile = column ? QRectF(rest.left(), along, thickness, length)
                                       : QRectF(along, rest.top(), length, thickness);
            along += length;
            if (items[i].area >= m_minArea)
                place(items[i].entry, tile, depth);
        }
        return column ? rest.adjusted(thickness, 0, 0, 0) : rest.adjusted(0, thickness, 0, 0);
    }

    const SizeTree& m_tree;
    bool m_allocated;
    double m_minArea;
    std::vector<Tile> m_tiles;
};

} // namespace

std::vector<Tile> of(const SizeTree& tree, SizeTree::Index folder, const QRectF& area, bool allocated, double minArea) {
    Layout layout(tree, allocated, minArea);
    layout.place(folder, area, 0);
    return layout.take();
}

} // namespace TreemapLayout
