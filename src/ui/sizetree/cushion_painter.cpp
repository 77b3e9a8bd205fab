#include "ui/sizetree/cushion_painter.h"

#include "sizetree/file_types.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace CushionPainter {

namespace {

constexpr double kHeight = 0.5; // the outermost ridge's height
constexpr double kFactor = 0.75; // each ridge inside another that much lower
constexpr double kAmbient = 0.2;
constexpr double kDiffuse = 0.8;
const double kLight[3] = {0.09759, -0.19518, 0.9759}; // from the upper left, mostly from the front

struct Cushion {
    double s1x = 0, s2x = 0, s1y = 0, s2y = 0;

    void addRidges(const QRectF& rect, double height) {
        if (rect.width() > 0) {
            s1x += 4 * height * (rect.right() + rect.left()) / rect.width();
            s2x -= 4 * height / rect.width();
        }
        if (rect.height() > 0) {
            s1y += 4 * height * (rect.bottom() + rect.top()) / rect.height();
            s2y -= 4 * height / rect.height();
        }
    }
    double light(double x, double y) const {
        const double nx = -(2 * s2x * x + s1x);
        const double ny = -(2 * s2y * y + s1y);
        const double cosa = (nx * kLight[0] + ny * kLight[1] + kLight[2]) / std::sqrt(nx * nx + ny * ny + 1.0);
        return kAmbient + kDiffuse * std::max(0.0, cosa);
    }
};

QRgb shaded(std::uint32_t rgb, double intensity) {
    const auto channel = [intensity](std::uint32_t value) { return std::min(255, int(double(value) * intensity)); };
    return qRgb(channel((rgb >> 16) & 0xff), channel((rgb >> 8) & 0xff), channel(rgb & 0xff));
}

void fill(QImage& image, const QRectF& rect, const Cushion& cushion, std::uint32_t rgb) {
    const int left = std::max(0, int(std::lround(rect.left())));
    const int right = std::min(image.width(), int(std::lround(rect.right())));
    const int top = std::max(0, int(std::lround(rect.top())));
    const int bottom = std::min(image.height(), int(std::lround(rect.bottom())));
    for (int y = top; y < bottom; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = left; x < right; ++x)
            line[x] = shaded(rgb, cushion.light(x + 0.5, y + 0.5));
    }
}

std::uint32_t colourOf(const SizeTree& tree, SizeTree::Index entry) {
    if (tree.isFolder(entry))
        return 0x9a9a9au;
    return FileTypes::colourOf(FileTypes::categoryOf(FileTypes::extensionOf(tree.name(entry))));
}

} // namespace

QImage paint(const SizeTree& tree, const std::vector<TreemapLayout::Tile>& tiles, const QSize& size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(Qt::white);
    // Parents come before their tiles: each is painted, then what lies in it
    // over it, so what a folder's own inode takes shows as folder.
    QHash<SizeTree::Index, Cushion> cushions;
    for (const TreemapLayout::Tile& tile : tiles) {
        Cushion cushion = tile.depth == 0 ? Cushion{} : cushions.value(tree.parent(tile.entry));
        cushion.addRidges(tile.rect, kHeight * std::pow(kFactor, tile.depth));
        cushions.insert(tile.entry, cushion);
        fill(image, tile.rect, cushion, colourOf(tree, tile.entry));
    }
    return image;
}

} // namespace CushionPainter
