// Times what keeping a Directory walk as a size tree costs, on one tree:
// the walk with sums only (what a Directory run does without the tree)
// against the same walk feeding a SizeTree, taken in turns; then the sums
// and ordering after the walk, the treemap's layout and its painting at a
// window's size, and the memory the tree holds per entry. Prints one line
// per figure.
//
//   sizetree_run FOLDER [RUNS]
#include "fsview/ordered_walk.h"
#include "sizetree/size_tree_builder.h"
#include "sizetree/treemap_layout.h"
#include "ui/sizetree/cushion_painter.h"

#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double walkSeconds(const QByteArray& root, SizeTree* tree) {
    OrderedWalk::Options options = OrderedWalk::Options::sumsOnly();
    if (tree)
        options.recordFile = SizeTreeBuilder::recordFile;
    QElapsedTimer clock;
    clock.start();
    OrderedWalk walk(root, options);
    std::optional<SizeTreeBuilder> builder;
    if (tree)
        builder.emplace(*tree);
    const std::atomic<bool> cancel{false};
    while (const std::optional<WalkedDirectory> directory = walk.next(cancel)) {
        if (builder)
            builder->add(*directory, root);
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long residentKilobytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

template <typename Work>
double seconds(const Work& work) {
    QElapsedTimer clock;
    clock.start();
    work();
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sizetree_run FOLDER [RUNS]\n");
        return 1;
    }
    const QByteArray root = argv[1];
    const int runs = argc > 2 ? std::max(1, atoi(argv[2])) : 3;
    std::vector<double> bare, kept;
    for (int i = 0; i < runs; ++i) {
        bare.push_back(walkSeconds(root, nullptr));
        SizeTree tree;
        kept.push_back(walkSeconds(root, &tree));
    }
    std::printf("walk, sums only        %.3f s\n", median(bare));
    std::printf("walk, tree kept        %.3f s  (%.2fx)\n", median(kept), median(kept) / median(bare));
    const long before = residentKilobytes();
    SizeTree tree;
    walkSeconds(root, &tree);
    const double finish = seconds([&tree] { tree.finish(); });
    const long after = residentKilobytes();
    std::printf("entries                %zu\n", tree.size());
    std::printf("sums and order         %.3f s\n", finish);
    std::printf("memory per entry       %.0f bytes (names included)\n", double(after - before) * 1024.0 / double(tree.size()));
    std::vector<TreemapLayout::Tile> tiles;
    const double layout = seconds([&] { tiles = TreemapLayout::of(tree, 0, QRectF(0, 0, 1600, 900), false); });
    const double paint = seconds([&] { CushionPainter::paint(tree, tiles, QSize(1600, 900)); });
    std::printf("treemap layout         %.3f s  (%zu tiles)\n", layout, tiles.size());
    std::printf("treemap painting       %.3f s\n", paint);
    const double resize = seconds([&] {
        CushionPainter::paint(tree, TreemapLayout::of(tree, 0, QRectF(0, 0, 1200, 700), false), QSize(1200, 700));
    });
    std::printf("redrawn at a new size  %.3f s\n", resize);
    return 0;
}
