#pragma once

#include "sizetree/size_tree.h"

#include <QRectF>

#include <vector>

// A squarified treemap of a folder (Bruls, Huizing and van Wijk): every
// entry below it a tile whose area is its share of the folder's size, a
// folder's tiles inside its own, each row of tiles laid along the shorter
// side of what is left so tiles stay near square. What a folder's own inode
// takes is left empty in its tile. Tiles smaller than minArea are left out,
// and so is everything inside them.
namespace TreemapLayout {

struct Tile {
    SizeTree::Index entry = SizeTree::kNone;
    QRectF rect;
    int depth = 0; // 0 for the folder laid out
};

std::vector<Tile> of(const SizeTree& tree, SizeTree::Index folder, const QRectF& area, bool allocated,
                     double minArea = 1.0);

} // namespace TreemapLayout
