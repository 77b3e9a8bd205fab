#pragma once

#include "sizetree/treemap_layout.h"

#include <QImage>

#include <vector>

// Paints a treemap layout as cushions (van Wijk and van de Wetering): each
// tile's surface bulges by a ridge per folder it lies in, so the nesting
// shows in the light and shade alone. A file is coloured by its type, a
// folder grey where nothing inside it covers it.
namespace CushionPainter {

QImage paint(const SizeTree& tree, const std::vector<TreemapLayout::Tile>& tiles, const QSize& size);

} // namespace CushionPainter
