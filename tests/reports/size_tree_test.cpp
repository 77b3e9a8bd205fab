#include "du_figure.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"

#include "fsview/ordered_walk.h"
#include "reports/scan_size_tree.h"
#include "sizetree/size_breakdown.h"
#include "sizetree/size_tree_builder.h"
#include "sizetree/treemap_layout.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// What a Directory run's walk of top keeps, as the window gets it.
void walkInto(SizeTree& tree, const QString& top) {
    OrderedWalk::Options options = OrderedWalk::Options::sumsOnly(2);
    options.recordFile = SizeTreeBuilder::recordFile;
    OrderedWalk walk(TreeBuilder::native(top), options);
    SizeTreeBuilder builder(tree);
    const std::atomic<bool> cancel{false};
    while (const std::optional<WalkedDirectory> directory = walk.next(cancel))
        builder.add(*directory, TreeBuilder::native(top));
    builder.finish();
}

// A tree of real files: sparse and dense ones, two names of one file, a
// name that is not UTF-8, files of chosen ages.
class SizeTreeOfAWalk : public ::testing::Test {
protected:
    void SetUp() override {
        using namespace TreeBuilder;
        dir(at("a/b"));
        dir(at("c"));
        file(at("a/sparse.img"), 10 << 20);
        ASSERT_TRUE(dense(at("a/notes.log"), 300));
        ASSERT_EQ(::link(native(at("a/notes.log")).constData(), native(at("a/notes-again.log")).constData()), 0);
        ASSERT_TRUE(dense(at("a/big.bin"), 2 << 20));
        ASSERT_EQ(::link(native(at("a/big.bin")).constData(), native(at("a/big-again.bin")).constData()), 0);
        ASSERT_TRUE(dense(at("a/b/photo.JPG"), 70000));
        ASSERT_TRUE(dense(at("c/old.log"), 5000));
        ASSERT_TRUE(dense(at("c/README"), 12));
        const int latin1 = ::open((native(at("c")) + "/caf\xe9.bin").constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(latin1, 0);
        ASSERT_EQ(::write(latin1, QByteArray(4096, 'x').constData(), 4096), 4096);
        ::close(latin1);
        times(at("c/old.log"), QDate(2019, 3, 1), QDate(2019, 3, 1));
        times(at("a/b/photo.JPG"), QDate(2024, 7, 9), QDate(2024, 7, 9));
        walkInto(tree, root.path());
    }

    // QTemporaryDir cannot remove a name that is not UTF-8.
    void TearDown() override { ::unlink((TreeBuilder::native(at("c")) + "/caf\xe9.bin").constData()); }

    QString at(const QString& relative) const { return root.filePath(relative); }
    SizeTree::Index find(const QByteArray& path) const {
        for (SizeTree::Index i = 0; i < tree.size(); ++i)
            if (tree.path(i) == path)
                return i;
        return SizeTree::kNone;
    }

    QTemporaryDir root;
    SizeTree tree;
};

} // namespace

TEST_F(SizeTreeOfAWalk, EveryFoldersSumsAreWhatDuCounts) {
    int folders = 0;
    for (SizeTree::Index i = 0; i < tree.size(); ++i) {
        if (!tree.isFolder(i))
            continue;
        ++folders;
        const QString path = QFile::decodeName(tree.path(i));
        EXPECT_EQ(tree.bytes(i, false), commandFigure("du", {"-sb", path})) << path.toStdString();
        EXPECT_EQ(tree.bytes(i, true), commandFigure("du", {"-sB1", path})) << path.toStdString();
    }
    EXPECT_EQ(folders, 4);
    const SizeTree::Index c = find(TreeBuilder::native(at("c")));
    ASSERT_NE(c, SizeTree::kNone);
    EXPECT_EQ(tree.sums(c).files, 3u);
    EXPECT_NE(find(TreeBuilder::native(at("c")) + "/caf\xe9.bin"), SizeTree::kNone); // the name's bytes as they are
    // Children come largest first.
    const std::span<const SizeTree::Index> top = tree.children(0);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(tree.name(top[0]), "a");
    EXPECT_EQ(tree.name(SizeBreakdown::largest(tree, 0, false, 1).front()), "sparse.img");
    EXPECT_EQ(tree.name(SizeBreakdown::largest(tree, c, true, 1).front()), "old.log"); // 8 KiB of blocks
}

TEST_F(SizeTreeOfAWalk, TypesAndAgesCountEachFileOnce) {
    const std::vector<SizeBreakdown::Row> types = SizeBreakdown::byType(tree, 0, false);
    const auto type = [&types](const QByteArray& extension) {
        for (const SizeBreakdown::Row& row : types)
            if (row.key == extension)
                return row;
        return SizeBreakdown::Row{};
    };
    // Three names of .log files; the two names of one file count its bytes once.
    EXPECT_EQ(type("log").files, 3u);
    EXPECT_EQ(type("log").bytes, 5300u);
    EXPECT_EQ(type("log").category, FileCategory::Documents);
    EXPECT_EQ(type("jpg").bytes, 70000u);
    EXPECT_EQ(type("jpg").category, FileCategory::Images);
    EXPECT_EQ(type("").files, 1u); // README
    EXPECT_EQ(types.front().key, "img");
    double shares = 0;
    for (const SizeBreakdown::Row& row : types)
        shares += row.percent;
    EXPECT_NEAR(shares, 100.0, 1e-9);
    // Every file's length once, as find sees the files of one link each plus one of the pair.
    std::uint64_t sum = 0;
    for (const SizeBreakdown::Row& row : types)
        sum += row.bytes;
    EXPECT_EQ(sum, *commandFigure("find", {root.path(), "-type", "f", "-links", "1", "-printf", "%s\\n"}, true) + 300 +
                       (2 << 20));
    const std::vector<SizeBreakdown::Row> years = SizeBreakdown::byYear(tree, 0, false);
    ASSERT_GE(years.size(), 3u);
    EXPECT_EQ(years[0].key, "2019");
    EXPECT_EQ(years[0].bytes, 5000u);
    EXPECT_EQ(years[1].key, "2024");
    const std::vector<SizeBreakdown::Row> months = SizeBreakdown::byMonth(tree, 0, false, 2024);
    ASSERT_EQ(months.size(), 1u);
    EXPECT_EQ(months[0].key, "2024-07");
    EXPECT_EQ(months[0].files, 1u);
}

TEST_F(SizeTreeOfAWalk, AFilesTileLiesInItsFoldersTile) {
    const QRectF area(0, 0, 800, 600);
    const std::vector<TreemapLayout::Tile> tiles = TreemapLayout::of(tree, 0, area, false);
    QHash<SizeTree::Index, QRectF> where;
    for (const TreemapLayout::Tile& tile : tiles)
        where.insert(tile.entry, tile.rect);
    ASSERT_TRUE(where.contains(find(TreeBuilder::native(at("a/b/photo.JPG")))));
    QHash<SizeTree::Index, double> areaInside;
    for (const TreemapLayout::Tile& tile : tiles) {
        if (tile.depth == 0)
            continue;
        const QRectF folder = where.value(tree.parent(tile.entry));
        EXPECT_TRUE(folder.adjusted(-1e-6, -1e-6, 1e-6, 1e-6).contains(tile.rect)) << tree.path(tile.entry).constData();
        areaInside[tree.parent(tile.entry)] += tile.rect.width() * tile.rect.height();
    }
    // A file's second name takes no room: what lies in a folder fits in it.
    for (auto it = areaInside.cbegin(); it != areaInside.cend(); ++it) {
        const QRectF folder = where.value(it.key());
        EXPECT_LE(it.value(), folder.width() * folder.height() * (1 + 1e-9)) << tree.path(it.key()).constData();
    }
}

// What ncdu's own scan of the same tree gives: the same entries, sums and
// owners, the file with two names summed once.
TEST_F(SizeTreeOfAWalk, AnNcduScanOfTheTreeGivesTheSameTree) {
    const QString scanFile = root.filePath("../" + QFileInfo(root.path()).fileName() + ".ncdu.json");
    ASSERT_TRUE(TreeBuilder::ncduExport(root.path(), scanFile));
    const std::shared_ptr<SizeTree> scanned = ScanSizeTree::of(NcduScan::read(scanFile));
    QFile::remove(scanFile);
    ASSERT_EQ(scanned->size(), tree.size());
    QHash<QByteArray, SizeTree::Index> walked;
    for (SizeTree::Index i = 0; i < tree.size(); ++i)
        walked.insert(tree.path(i), i);
    for (SizeTree::Index i = 0; i < scanned->size(); ++i) {
        const SizeTree::Index same = walked.value(scanned->path(i), SizeTree::kNone);
        ASSERT_NE(same, SizeTree::kNone) << scanned->path(i).constData();
        EXPECT_EQ(scanned->isFolder(i), tree.isFolder(same));
        EXPECT_EQ(scanned->bytes(i, false) + scanned->bytes(i, true), tree.bytes(same, false) + tree.bytes(same, true))
            << scanned->path(i).constData();
        EXPECT_EQ(scanned->sums(i).files, tree.sums(same).files);
        EXPECT_EQ(scanned->item(i).uid, tree.item(same).uid);
        EXPECT_EQ(scanned->item(i).mtime, tree.item(same).mtime);
    }
    EXPECT_EQ(scanned->bytes(0, true), commandFigure("du", {"-sB1", root.path()}));
}

// What the tree recorded of a file is what its stat says; files gone from
// disk and taken out of the tree leave every folder's sums what du counts of
// it afterwards, the other name of a file whose counted name went counts its
// space now, each folder's children stay largest first, and the map has no
// tile for them.
TEST_F(SizeTreeOfAWalk, FilesTakenOutLeaveWhatDuCountsOnceTheyAreGone) {
    const SizeTree::Index old = find(TreeBuilder::native(at("c/old.log")));
    // Of the two names of big.bin, the one whose space the tree counts goes.
    SizeTree::Index counted = find(TreeBuilder::native(at("a/big-again.bin")));
    SizeTree::Index other = find(TreeBuilder::native(at("a/big.bin")));
    if (tree.countedElsewhere(counted))
        std::swap(counted, other);
    ASSERT_NE(old, SizeTree::kNone);
    ASSERT_TRUE(tree.countedElsewhere(other));
    struct stat st {};
    ASSERT_EQ(::stat(TreeBuilder::native(at("c/old.log")).constData(), &st), 0);
    EXPECT_EQ(tree.identity(old).difference(st), QString());
    EXPECT_EQ(tree.identity(old).device, std::uint64_t(st.st_dev));
    const std::uint64_t filesBefore = tree.sums(0).files;
    ASSERT_EQ(::unlink(TreeBuilder::native(at("c/old.log")).constData()), 0);
    ASSERT_EQ(::unlink(tree.path(counted).constData()), 0);
    const std::vector<SizeTree::Index> gone{old, counted};
    tree.removeFiles(gone);
    for (SizeTree::Index i = 0; i < tree.size(); ++i) {
        if (!tree.isFolder(i))
            continue;
        const QString path = QFile::decodeName(tree.path(i));
        EXPECT_EQ(tree.bytes(i, false), commandFigure("du", {"-sb", path})) << path.toStdString();
        EXPECT_EQ(tree.bytes(i, true), commandFigure("du", {"-sB1", path})) << path.toStdString();
        const std::span<const SizeTree::Index> children = tree.children(i);
        for (std::size_t c = 0; c < children.size(); ++c) {
            EXPECT_FALSE(tree.removed(children[c]));
            EXPECT_EQ(tree.rowInParent(children[c]), c);
            if (c > 0) {
                EXPECT_GE(tree.bytes(children[c - 1], false), tree.bytes(children[c], false)) << path.toStdString();
            }
        }
    }
    EXPECT_FALSE(tree.countedElsewhere(other));
    EXPECT_EQ(tree.sums(0).files, filesBefore - 2);
    EXPECT_EQ(tree.sums(tree.parent(old)).files, 2u);
    for (const TreemapLayout::Tile& tile : TreemapLayout::of(tree, 0, QRectF(0, 0, 800, 600), false, 0))
        EXPECT_TRUE(tile.entry != old && tile.entry != counted) << tree.path(tile.entry).constData();
}

// A folder of 100,000 files beside a small one: sums as du counts them, the
// files largest first, the folder's shares adding up to the whole.
TEST(SizeTreeOfAWideFolder, AHundredThousandFilesAreSummedAndOrderedAsDuCountsThem) {
    QTemporaryDir root;
    // On a tmpfs: this disk takes 90 us to make a file, tmpfs 8.
    ScopedTmpfs memory(TreeBuilder::native(root.path()), "64m");
    if (!memory.mounted())
        GTEST_SKIP() << memory.why().toStdString();
    const QByteArray wide = TreeBuilder::native(root.filePath("wide"));
    ASSERT_EQ(::mkdir(wide.constData(), 0755), 0);
    TreeBuilder::dir(root.filePath("narrow"));
    ASSERT_TRUE(TreeBuilder::dense(root.filePath("narrow/one"), 5000));
    const int folder = ::open(wide.constData(), O_DIRECTORY | O_RDONLY);
    ASSERT_GE(folder, 0);
    for (int i = 0; i < 100000; ++i) {
        const int fd = ::openat(folder, QByteArray::number(i).constData(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, i % 997), 0); // no blocks to write or free
        ::close(fd);
    }
    ::close(folder);
    SizeTree tree;
    walkInto(tree, root.path());
    ASSERT_EQ(tree.children(0).size(), 2u);
    const SizeTree::Index wideEntry = tree.children(0)[0];
    ASSERT_EQ(tree.path(wideEntry), wide);
    EXPECT_EQ(tree.bytes(wideEntry, false), commandFigure("du", {"-sb", QFile::decodeName(wide)}));
    EXPECT_EQ(tree.bytes(wideEntry, true), commandFigure("du", {"-sB1", QFile::decodeName(wide)}));
    EXPECT_EQ(tree.bytes(0, false), commandFigure("du", {"-sb", root.path()}));
    const std::span<const SizeTree::Index> files = tree.children(wideEntry);
    ASSERT_EQ(files.size(), 100000u);
    EXPECT_EQ(tree.sums(wideEntry).files, 100000u);
    std::uint64_t below = 0;
    for (std::size_t i = 0; i < files.size(); ++i) {
        below += tree.bytes(files[i], false);
        if (i > 0 && tree.bytes(files[i - 1], false) < tree.bytes(files[i], false))
            FAIL() << "not largest first at " << i;
    }
    EXPECT_EQ(below + tree.item(wideEntry).size, tree.bytes(wideEntry, false));
}

// Many files of random sizes in nested folders whose own inodes take
// nothing: the tiles of each folder fill it without overlap, each in
// proportion to its size.
TEST(Treemap, TilesCoverEachFolderInProportionWithoutOverlap) {
    SizeTree tree;
    std::mt19937 random(7);
    const SizeTree::Index root = tree.addFolder(SizeTree::kNone, "root", {});
    std::vector<SizeTree::Index> folders{root};
    for (int f = 0; f < 12; ++f)
        folders.push_back(tree.addFolder(folders[random() % folders.size()], "d" + QByteArray::number(f), {}));
    for (int i = 0; i < 400; ++i)
        tree.addFile(folders[random() % folders.size()], "f" + QByteArray::number(i), {1 + random() % 100000, 0, 0, 0});
    tree.finish();
    const QRectF area(0, 0, 1000, 700);
    const std::vector<TreemapLayout::Tile> tiles = TreemapLayout::of(tree, root, area, false, 0);
    ASSERT_EQ(tiles.size(), tree.size());
    const double total = double(tree.bytes(root, false));
    QHash<SizeTree::Index, QList<QRectF>> inFolder;
    for (const TreemapLayout::Tile& tile : tiles) {
        const double share = tile.rect.width() * tile.rect.height() / (area.width() * area.height());
        EXPECT_NEAR(share, double(tree.bytes(tile.entry, false)) / total, 1e-9);
        if (tile.depth > 0)
            inFolder[tree.parent(tile.entry)].append(tile.rect);
    }
    for (auto it = inFolder.cbegin(); it != inFolder.cend(); ++it) {
        const QList<QRectF>& rects = it.value();
        for (qsizetype i = 0; i < rects.size(); ++i)
            for (qsizetype j = i + 1; j < rects.size(); ++j) {
                const QRectF overlap = rects[i].intersected(rects[j]);
                EXPECT_LT(overlap.width() * overlap.height(), 1e-6);
            }
    }
}
