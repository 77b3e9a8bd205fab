// Times what keeping a Directory walk as a size tree costs, on one tree:
// the walk with sums only (what a Directory run does without the tree)
// against the same walk feeding a SizeTree, taken in turns; then the sums
// and ordering after the walk, the treemap's layout and its painting at a
// window's size, and the memory the tree holds per entry; then, in the
// size tree window (offscreen): the time from the walk's end until the tree
// is shown and the treemap drawn, expanding the largest folder (give a
// folder of 100,000 files as BIG), and the longest the window's event loop
// waited meanwhile. Prints one line per figure.
//
//   sizetree_run FOLDER [RUNS] [BIG]
#include "fsview/ordered_walk.h"
#include "sizetree/size_tree_builder.h"
#include "sizetree/treemap_layout.h"
#include "ui/sizetree/cushion_painter.h"
#include "ui/sizetree/size_tree_model.h"
#include "ui/sizetree/size_tree_window.h"
#include "ui/sizetree/treemap_view.h"

#include <QElapsedTimer>
#include <QFile>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <QTreeView>

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

// The longest wait between turns of the event loop while it runs, in
// seconds: a 5 ms timer that notes how late each turn comes.
class StallWatch {
public:
    StallWatch() {
        m_clock.start();
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            const qint64 now = m_clock.nsecsElapsed();
            m_longest = std::max(m_longest, now - m_last);
            m_last = now;
        });
        m_timer.start(5);
        m_last = m_clock.nsecsElapsed();
    }
    double longest() const { return double(m_longest) / 1e9; }

private:
    QElapsedTimer m_clock;
    QTimer m_timer;
    qint64 m_last = 0;
    qint64 m_longest = 0;
};

// Runs the event loop until done() holds (or 60 s pass).
template <typename Done>
void waitFor(const Done& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The size tree window on a walked tree: until it shows the tree (and until
// its treemap is drawn), then the largest folder expanded.
void timeWindow(const QByteArray& root, const char* label) {
    auto tree = std::make_shared<SizeTree>();
    walkSeconds(root, tree.get());
    SizeTreeWindow window;
    window.resize(1600, 1000);
    window.show();
    QCoreApplication::processEvents();
    auto* map = window.findChild<TreemapView*>();
    bool drawn = false;
    QObject::connect(map, &TreemapView::drawn, [&drawn] { drawn = true; });
    tree->finish(); // on the walk's thread, as a run does
    StallWatch watch;
    QElapsedTimer clock;
    clock.start();
    window.showTree(tree);
    QCoreApplication::processEvents();
    const double shown = double(clock.nsecsElapsed()) / 1e9;
    waitFor([&drawn] { return drawn; });
    const double mapped = double(clock.nsecsElapsed()) / 1e9;
    auto* view = window.findChild<QTreeView*>();
    SizeTree::Index largest = 0;
    for (SizeTree::Index i = 0; i < tree->size(); ++i) {
        if (tree->isFolder(i) && tree->children(i).size() > tree->children(largest).size())
            largest = i;
    }
    const QModelIndex folder = window.model().indexOf(largest);
    const double expand = seconds([&] {
        view->scrollTo(folder);
        view->expand(folder);
        view->repaint();
        QCoreApplication::processEvents();
    });
    std::printf("%s: shown after the walk  %.3f s, treemap drawn %.3f s\n", label, shown, mapped);
    std::printf("%s: expanding a folder of %zu entries  %.3f s\n", label, tree->children(largest).size(), expand);
    std::printf("%s: longest wait of the window  %.3f s\n", label, watch.longest());
}

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: sizetree_run FOLDER [RUNS] [BIG]\n");
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
    const double copied = seconds([&tree] { const SizeTree copy(tree); });
    std::printf("copied for a part shown %.3f s (the window's thread, every 2 s of a walk it shows)\n", copied);
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
    timeWindow(root, "FOLDER");
    if (argc > 3)
        timeWindow(argv[3], "BIG");
    return 0;
}
