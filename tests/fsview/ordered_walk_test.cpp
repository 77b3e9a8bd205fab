#include "fsview/ordered_walk.h"
#include "fsview/scan_directory.h"
#include "fsview/subtree_bytes.h"

#include "scoped_bind_mount.h"
#include "scoped_tmpfs.h"
#include "unprivileged_run.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "deep_tree.h"
#include "tree_builder.h"

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

using TreeBuilder::native;

void writeFile(const QString& path, qsizetype bytes = 0) {
    ASSERT_TRUE(TreeBuilder::dense(path, bytes)) << path.toStdString();
}


QByteArray joined(const QList<QByteArray>& names) {
    return names.join(',');
}

QByteArray fileNames(const WalkedDirectory& dir) {
    QList<QByteArray> names;
    for (const WalkedFile& file : dir.files)
        names.push_back(file.name);
    return joined(names);
}

// The path below the start of each directory a walk hands out, from the
// depth and name it comes with.
class RelativePath {
public:
    QByteArray enter(const WalkedDirectory& dir) {
        m_names.resize(std::size_t(dir.depth));
        if (dir.depth > 0)
            m_names.back() = dir.name;
        return QList<QByteArray>(m_names.begin(), m_names.end()).join('/');
    }

private:
    std::vector<QByteArray> m_names;
};

// Everything a walk handed out, one line per directory and per file, in order.
QByteArray describe(OrderedWalk& walk) {
    std::atomic<bool> never{false};
    QByteArray text;
    RelativePath path;
    while (std::optional<WalkedDirectory> dir = walk.next(never)) {
        text += "D '" + path.enter(*dir) + "' " + (dir->readable ? "r" : "unreadable") + " ["
            + joined(dir->subdirectories) + "]\n";
        for (const WalkedFile& file : dir->files) {
            text += "  " + file.name + ' ' + (file.statted ? "statted " : "unstatted ")
                + QByteArray::number(qulonglong(file.size)) + ' '
                + QByteArray::number(qlonglong(file.mtime)) + '\n';
        }
    }
    return text;
}

// The directories a walk handed out, in order.
std::vector<WalkedDirectory> walkAll(const QByteArray& root, OrderedWalk::Options options = {}) {
    OrderedWalk walk(root, std::move(options));
    std::atomic<bool> never{false};
    std::vector<WalkedDirectory> dirs;
    while (std::optional<WalkedDirectory> dir = walk.next(never))
        dirs.push_back(std::move(*dir));
    return dirs;
}

OrderedWalk::Options withThreads(int threads, std::size_t lookahead = 256, bool subdirectoryInodes = true) {
    OrderedWalk::Options options;
    options.threads = threads;
    options.lookahead = lookahead;
    options.subdirectoryInodes = subdirectoryInodes;
    return options;
}

QList<QByteArray> pathsOf(const std::vector<WalkedDirectory>& dirs) {
    QList<QByteArray> paths;
    RelativePath path;
    for (const WalkedDirectory& dir : dirs)
        paths.push_back(path.enter(dir));
    return paths;
}

class Walk : public ::testing::Test {
protected:
    Walk() {
        // Readable by the unprivileged child of the permission tests.
        ::chmod(native(dir.path()).constData(), 0755);
        QDir().mkpath(root());
        QDir().mkpath(outside());
    }
    QString root() const { return dir.path() + QStringLiteral("/vol"); }
    QString outside() const { return dir.path() + QStringLiteral("/outside"); }
    QByteArray rootPath() const { return native(root()); }
    void mkdir(const QString& relative) { ASSERT_TRUE(QDir().mkpath(root() + '/' + relative)); }
    void touch(const QString& relative, qsizetype bytes = 0) {
        writeFile(root() + '/' + relative, bytes);
    }

    // What walk hands out from here on.
    std::vector<WalkedDirectory> rest(OrderedWalk& walk) {
        std::vector<WalkedDirectory> dirs;
        while (std::optional<WalkedDirectory> next = walk.next(cancel))
            dirs.push_back(std::move(*next));
        return dirs;
    }

    QTemporaryDir dir;
    std::atomic<bool> cancel{false};
};

const char* howFound(bool subdirectoryInodes) {
    return subdirectoryInodes ? "statted where listed" : "known by their entries";
}

} // namespace

// Order ----------------------------------------------------------------------------

TEST(NameOrder, FoldsAsciiCaseAndBreaksTiesByBytes) {
    QList<QByteArray> names{"b",  "a2", "C",   "ab",    "aB", "AB", "Ab",
                            "_x", "a",  "zz",  "\xc3\xa9", "A",  "a10"};
    std::sort(names.begin(), names.end(), lessByNameCaseless);
    // '_' sorts before letters (they fold to lower case); bytes above 0x7f
    // come last; a prefix comes before what extends it.
    EXPECT_EQ(joined(names), QByteArray("_x,A,a,a10,a2,AB,Ab,aB,ab,b,C,zz,\xc3\xa9"));
}

TEST(NameOrder, IsStrictForEqualNames) {
    EXPECT_FALSE(lessByNameCaseless("Same", "Same"));
    EXPECT_TRUE(lessByNameCaseless("", "a"));
    EXPECT_FALSE(lessByNameCaseless("a", ""));
}

TEST_F(Walk, HandsOutDirectoriesInPreOrderByCaselessName) {
    touch("b");
    touch("A");
    mkdir("c/y");
    touch("c/x");
    touch("c/y/q");
    mkdir("C2");
    touch("C2/m");
    mkdir("a1");
    mkdir("B/deep/er");
    touch("B/deep/er/z");

    const std::vector<WalkedDirectory> dirs = walkAll(rootPath(), withThreads(2));

    // A directory's own files, then each subdirectory's whole subtree.
    EXPECT_EQ(pathsOf(dirs), (QList<QByteArray>{"", "a1", "B", "B/deep", "B/deep/er", "c",
                                                "c/y", "C2"}));
    ASSERT_EQ(dirs.size(), 8u);
    EXPECT_EQ(fileNames(dirs[0]), "A,b");
    EXPECT_EQ(joined(dirs[0].subdirectories), "a1,B,c,C2");
    EXPECT_EQ(fileNames(dirs[4]), "z");
    EXPECT_EQ(fileNames(dirs[5]), "x");
    EXPECT_EQ(joined(dirs[5].subdirectories), "y");
    EXPECT_EQ(fileNames(dirs[6]), "q");
    EXPECT_EQ(fileNames(dirs[7]), "m");
    for (const WalkedDirectory& dir : dirs)
        EXPECT_TRUE(dir.readable) << dir.name.constData();
}

TEST_F(Walk, FilesAndFoldersCarryTheirOwnMetadata) {
    touch("sized", 1234);
    mkdir("sub");
    const QByteArray path = native(root() + "/sized");
    const QByteArray sub = native(root() + "/sub");
    const timespec times[2] = {{1000000000, 0}, {1200000000, 0}}; // atime, mtime
    for (const QByteArray& entry : {path, sub}) {
        ASSERT_EQ(::utimensat(AT_FDCWD, entry.constData(), times, 0), 0);
        ASSERT_EQ(::chown(entry.constData(), 4321, 99), 0);
    }
    ASSERT_EQ(::chmod(sub.constData(), 0750), 0);
    struct statx sx {};
    ASSERT_EQ(::statx(AT_FDCWD, path.constData(), 0, STATX_BTIME, &sx), 0);
    struct stat folder {};
    ASSERT_EQ(::stat(sub.constData(), &folder), 0);

    const std::vector<WalkedDirectory> dirs = walkAll(rootPath());

    ASSERT_EQ(dirs.size(), 2u);
    ASSERT_EQ(dirs[0].files.size(), 1);
    const WalkedFile& file = dirs[0].files[0];
    EXPECT_TRUE(file.statted);
    EXPECT_EQ(file.size, 1234u);
    EXPECT_EQ(file.uid, 4321u);
    EXPECT_EQ(file.gid, 99u);
    EXPECT_EQ(file.mode, S_IFREG | 0644u);
    EXPECT_EQ(file.allocated, std::uint64_t(sx.stx_blocks) * 512);
    EXPECT_EQ(file.mtime, 1200000000);
    EXPECT_EQ(file.atime, 1000000000);
    // A folder's own inode, from its parent's listing.
    const OwnInode& own = dirs[1].own;
    EXPECT_EQ(own.size, std::uint64_t(folder.st_size));
    EXPECT_EQ(own.allocated, std::uint64_t(folder.st_blocks) * 512);
    EXPECT_EQ(own.uid, 4321u);
    EXPECT_EQ(own.gid, 99u);
    EXPECT_EQ(own.mode, S_IFDIR | 0750u);
    EXPECT_EQ(own.mtime, 1200000000);
    if (sx.stx_mask & STATX_BTIME)
        EXPECT_EQ(file.btime, std::optional<std::int64_t>(sx.stx_btime.tv_sec));
    else
        EXPECT_FALSE(file.btime.has_value());
}

namespace {

// depth levels of fanout subdirectories with names in mixed case, each
// directory holding files files.
void buildTree(const QString& dir, int depth, int fanout, int files, int& directories) {
    for (int f = 0; f < files; ++f)
        writeFile(dir + (f % 2 ? QStringLiteral("/File%1") : QStringLiteral("/file%1")).arg(f), f);
    if (depth == 0)
        return;
    for (int d = 0; d < fanout; ++d) {
        const QString sub = dir + (d % 2 ? QStringLiteral("/Dir%1") : QStringLiteral("/dir%1")).arg(d);
        ASSERT_TRUE(QDir().mkdir(sub));
        ++directories;
        buildTree(sub, depth - 1, fanout, files, directories);
    }
}

} // namespace

TEST_F(Walk, OneTwoAndEightThreadsHandOutTheSameWalk) {
    int directories = 1;
    buildTree(root(), 4, 5, 3, directories); // 781 directories, 2343 files

    OrderedWalk one(rootPath(), withThreads(1));
    const QByteArray byOne = describe(one);
    EXPECT_EQ(byOne.count("\nD '") + 1, directories);
    EXPECT_EQ(byOne.count(" statted "), 3 * directories);
    EXPECT_EQ(one.skipped(), 0u);
    // The caller lists as well while it waits: every split of the work
    // between it and the workers, a tight look-ahead included, must give
    // the same walk.
    for (const auto& [threads, lookahead] : {std::pair{2, 256}, {2, 2}, {8, 256}, {8, 1}}) {
        OrderedWalk walk(rootPath(), withThreads(threads, std::size_t(lookahead)));
        EXPECT_EQ(byOne, describe(walk)) << threads << " threads, look-ahead " << lookahead;
        EXPECT_EQ(walk.skipped(), 0u);
    }
}

TEST_F(Walk, EndsAndStaysEnded) {
    touch("f");
    OrderedWalk walk(rootPath(), {});
    EXPECT_TRUE(walk.next(cancel).has_value());
    EXPECT_FALSE(walk.next(cancel).has_value());
    EXPECT_FALSE(walk.next(cancel).has_value());
}

// Name filter ----------------------------------------------------------------------

TEST_F(Walk, NameFilterKeepsFilesOutButNeverDirectories) {
    touch("a.doc");
    touch("b.txt");
    mkdir("sub.txt");
    touch("sub.txt/c.doc");
    touch("sub.txt/d.log");
    std::mutex mutex;
    QList<QByteArray> asked;
    OrderedWalk::Options options;
    options.threads = 2;
    options.nameFilter = [&](const char* name, std::size_t length) {
        const QByteArray n(name, qsizetype(length));
        const std::lock_guard lock(mutex);
        asked.push_back(n);
        return n.endsWith(".doc");
    };

    const std::vector<WalkedDirectory> dirs = walkAll(rootPath(), options);

    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(fileNames(dirs[0]), "a.doc");
    EXPECT_EQ(joined(dirs[0].subdirectories), "sub.txt");
    EXPECT_EQ(fileNames(dirs[1]), "c.doc");
    EXPECT_TRUE(dirs[1].files[0].statted);
    std::sort(asked.begin(), asked.end());
    EXPECT_EQ(joined(asked), "a.doc,b.txt,c.doc,d.log");
}

// A reader that ends at a row limit: past its worth a folder is read no
// further, so a folder of millions of names is never held whole.
TEST_F(Walk, AFolderStopsBeingReadOnceItHoldsFilesEnough) {
    for (int i = 0; i < 300; ++i)
        touch(QString("f%1").arg(i, 3, 10, QChar('0')));
    mkdir("sub");
    touch("sub/one");
    OrderedWalk::Options options;
    options.filesEnough = 10;
    const std::vector<WalkedDirectory> dirs = walkAll(rootPath(), options);
    ASSERT_FALSE(dirs.empty());
    EXPECT_TRUE(dirs[0].cut);
    EXPECT_EQ(dirs[0].files.size(), 11);
    EXPECT_LT(dirs[0].fileCount, 300u); // the rest was not listed
    options.filesEnough = 300;
    const std::vector<WalkedDirectory> whole = walkAll(rootPath(), options);
    ASSERT_EQ(whole.size(), 2u);
    EXPECT_FALSE(whole[0].cut);
    EXPECT_EQ(whole[0].files.size(), 300);
}

TEST_F(Walk, FilteredOutNamesAreNeverStatted) {
    // Listable but not searchable: every stat inside fails, so the failures
    // counted show which names were statted.
    mkdir("listonly");
    touch("listonly/keep");
    touch("listonly/drop1");
    touch("listonly/drop2");
    ASSERT_EQ(::chmod(native(root() + "/listonly").constData(), 0444), 0);
    const QByteArray path = rootPath();
    const UnprivilegedResult result = runUnprivileged([&] {
        auto run = [&](OrderedWalk::Options options) {
            OrderedWalk walk(path, std::move(options));
            const QByteArray text = describe(walk);
            return text + "skipped " + QByteArray::number(qulonglong(walk.skipped())) + '\n';
        };
        OrderedWalk::Options filtered;
        filtered.nameFilter = [](const char* name, std::size_t) {
            return std::strcmp(name, "keep") == 0;
        };
        return run(filtered) + run({});
    });
    ::chmod(native(root() + "/listonly").constData(), 0755);
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    if (result.output->startsWith("D '' unreadable"))
        GTEST_SKIP() << "uid 65534 cannot reach " << dir.path().toStdString();

    EXPECT_EQ(*result.output, "D '' r [listonly]\n"
                              "D 'listonly' r []\n"
                              "  keep unstatted 0 0\n"
                              "skipped 1\n"
                              "D '' r [listonly]\n"
                              "D 'listonly' r []\n"
                              "  drop1 unstatted 0 0\n"
                              "  drop2 unstatted 0 0\n"
                              "  keep unstatted 0 0\n"
                              "skipped 3\n");
}

TEST_F(Walk, FileVanishedBeforeItsStatComesBackUnstatted) {
    touch("before", 10);
    touch("gone", 20);
    touch("later", 30);
    const QByteArray gonePath = native(root() + "/gone");
    OrderedWalk::Options options;
    // The filter runs between the listing and the stat: the file goes there.
    options.nameFilter = [&](const char* name, std::size_t) {
        if (std::strcmp(name, "gone") == 0)
            ::unlink(gonePath.constData());
        return true;
    };
    OrderedWalk walk(rootPath(), options);
    std::optional<WalkedDirectory> top = walk.next(cancel);

    ASSERT_TRUE(top.has_value());
    ASSERT_EQ(fileNames(*top), "before,gone,later");
    EXPECT_TRUE(top->files[0].statted);
    EXPECT_EQ(top->files[0].size, 10u);
    EXPECT_FALSE(top->files[1].statted);
    EXPECT_TRUE(top->files[2].statted);
    EXPECT_EQ(top->files[2].size, 30u);
    EXPECT_EQ(walk.skipped(), 1u);
}

// Links, mounts and the root ---------------------------------------------------------

TEST_F(Walk, SymbolicLinksAreFilesNeverFollowed) {
    mkdir("real");
    touch("real/inside");
    writeFile(outside() + "/far");
    const QByteArray outsideTarget = native(outside());
    ASSERT_EQ(::symlink(outsideTarget.constData(), native(root() + "/out").constData()), 0);
    ASSERT_EQ(::symlink("loop", native(root() + "/loop").constData()), 0);
    ASSERT_EQ(::symlink("..", native(root() + "/real/up").constData()), 0);

    const std::vector<WalkedDirectory> dirs = walkAll(rootPath(), withThreads(2));

    EXPECT_EQ(pathsOf(dirs), (QList<QByteArray>{"", "real"}));
    ASSERT_EQ(dirs.size(), 2u);
    EXPECT_EQ(fileNames(dirs[0]), "loop,out");
    EXPECT_EQ(joined(dirs[0].subdirectories), "real");
    EXPECT_EQ(fileNames(dirs[1]), "inside,up");
    // The link's own size: the length of its target.
    ASSERT_EQ(dirs[0].files.size(), 2);
    EXPECT_EQ(dirs[0].files[1].size, std::uint64_t(outsideTarget.size()));
}

TEST_F(Walk, RootMayBeASymbolicLinkToTheTree) {
    touch("f", 7);
    mkdir("sub");
    const QByteArray link = native(dir.path() + "/link");
    ASSERT_EQ(::symlink(rootPath().constData(), link.constData()), 0);

    const std::vector<WalkedDirectory> dirs = walkAll(link);

    EXPECT_EQ(pathsOf(dirs), (QList<QByteArray>{"", "sub"}));
    ASSERT_FALSE(dirs.empty());
    EXPECT_EQ(fileNames(dirs[0]), "f");
}

TEST_F(Walk, RootThatCannotBeOpenedIsOneUnreadableDirectory) {
    OrderedWalk walk(native(dir.path() + "/missing"), {});
    EXPECT_EQ(describe(walk), "D '' unreadable []\n");
    EXPECT_EQ(walk.skipped(), 1u);
}

TEST_F(Walk, NestedMountIsNotEntered) {
    mkdir("a");
    touch("a/one");
    mkdir("mnt");
    ScopedTmpfs tmpfs(native(root() + "/mnt"));
    if (!tmpfs.mounted())
        GTEST_SKIP() << tmpfs.why().toStdString();
    writeFile(root() + "/mnt/inner");
    QDir().mkpath(root() + "/mnt/sub");

    for (const bool subdirectoryInodes : {true, false}) {
        SCOPED_TRACE(howFound(subdirectoryInodes));
        OrderedWalk walk(rootPath(), withThreads(2, 256, subdirectoryInodes));
        const std::vector<WalkedDirectory> dirs = rest(walk);

        // Like du -x, the mount point itself is left out too, and named as
        // left out where it was statted.
        EXPECT_EQ(pathsOf(dirs), (QList<QByteArray>{"", "a"}));
        ASSERT_EQ(dirs.size(), 2u);
        if (subdirectoryInodes) {
            ASSERT_EQ(dirs[0].mountsLeftOut.size(), 1u);
            EXPECT_EQ(dirs[0].mountsLeftOut[0].name, "mnt");
            EXPECT_NE(dirs[0].mountsLeftOut[0].device, dirs[0].device);
            EXPECT_EQ(joined(dirs[0].subdirectories), "a");
        }
        EXPECT_EQ(fileNames(dirs[0]), "");
        EXPECT_EQ(fileNames(dirs[1]), "one");
        EXPECT_EQ(walk.skipped(), 0u);
    }
}

TEST_F(Walk, AFolderBindMountedBelowItselfIsEnteredOnce) {
    mkdir("a/b");
    touch("a/one");
    mkdir("a/loop");
    const QByteArray a = native(root() + "/a");
    // The second bind brings the first along: a/loop/loop is a again.
    ScopedBindMount first(a, a + "/loop");
    ScopedBindMount second(a, a + "/loop");
    if (!first.mounted() || !second.mounted())
        GTEST_SKIP() << first.why().toStdString() << second.why().toStdString();

    for (const bool subdirectoryInodes : {true, false}) {
        SCOPED_TRACE(howFound(subdirectoryInodes));
        OrderedWalk walk(rootPath(), withThreads(2, 256, subdirectoryInodes));
        const std::vector<WalkedDirectory> dirs = rest(walk);

        EXPECT_EQ(pathsOf(dirs), (QList<QByteArray>{"", "a", "a/b"}));
        ASSERT_EQ(dirs.size(), 3u);
        EXPECT_EQ(walk.loopsBack(), 1u);
        EXPECT_EQ(walk.skipped(), 0u);
    }
}

// What cannot be read ------------------------------------------------------------------

TEST_F(Walk, UnreadableDirectoryComesBackEmptyAndTheWalkGoesOn) {
    mkdir("locked/inner");
    touch("locked/f");
    mkdir("next");
    touch("next/n");
    touch("top");
    ASSERT_EQ(::chmod(native(root() + "/locked").constData(), 0), 0);
    const QByteArray path = rootPath();
    const UnprivilegedResult result = runUnprivileged([&] {
        OrderedWalk walk(path, withThreads(2));
        const QByteArray text = describe(walk);
        return text + "skipped " + QByteArray::number(qulonglong(walk.skipped())) + '\n';
    });
    ::chmod(native(root() + "/locked").constData(), 0755);
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    if (result.output->startsWith("D '' unreadable"))
        GTEST_SKIP() << "uid 65534 cannot reach " << dir.path().toStdString();

    const QByteArray output = *result.output;
    EXPECT_TRUE(output.startsWith("D '' r [locked,next]\n  top statted 0 ")) << output.constData();
    EXPECT_TRUE(output.contains("\nD 'locked' unreadable []\nD 'next' r []\n  n statted 0 "))
        << output.constData();
    EXPECT_TRUE(output.endsWith("\nskipped 1\n")) << output.constData();
}

TEST_F(Walk, DirectoryRemovedAheadOfTheReaderComesBackUnreadable) {
    mkdir("a");
    touch("a/kept");
    mkdir("b/c");
    touch("b/lost");
    touch("b/c/lost");
    mkdir("d");
    // One directory listed ahead at most: when the reader has the root, only
    // "a" can have been listed, so "b" is read after it is removed.
    OrderedWalk walk(rootPath(), withThreads(2, 1));
    const std::optional<WalkedDirectory> top = walk.next(cancel);
    ASSERT_TRUE(top.has_value());
    EXPECT_EQ(joined(top->subdirectories), "a,b,d");
    ASSERT_TRUE(QDir(root() + "/b").removeRecursively());

    const std::vector<WalkedDirectory> rest = this->rest(walk);
    // "b" keeps its place; what lay below it was never found.
    EXPECT_EQ(pathsOf(rest), (QList<QByteArray>{"a", "b", "d"}));
    ASSERT_EQ(rest.size(), 3u);
    EXPECT_EQ(fileNames(rest[0]), "kept");
    EXPECT_FALSE(rest[1].readable);
    EXPECT_TRUE(rest[1].files.isEmpty());
    EXPECT_TRUE(rest[1].subdirectories.isEmpty());
    EXPECT_TRUE(rest[2].readable);
    EXPECT_EQ(walk.skipped(), 1u);
}

// Statted where they were listed, a folder put in another's place and one
// mounted over are not the ones found; known by their entries alone, the
// first is listed as what it now is and the second is left out as a mount.
TEST_F(Walk, DirectoryReplacedOrMountedOverAheadOfTheReaderIsNotTakenForTheOneFound) {
    for (const bool subdirectoryInodes : {true, false}) {
        SCOPED_TRACE(howFound(subdirectoryInodes));
        ASSERT_TRUE(QDir(root()).removeRecursively() && QDir().mkpath(root()));
        mkdir("a");
        mkdir("b");
        touch("b/old");
        mkdir("d");
        touch("d/old");
        OrderedWalk walk(rootPath(), withThreads(2, 1, subdirectoryInodes));
        const std::optional<WalkedDirectory> top = walk.next(cancel);
        ASSERT_TRUE(top.has_value());
        // Another folder under the same name, and a file system mounted onto one.
        ASSERT_EQ(::rename(native(root() + "/b").constData(), native(root() + "/gone").constData()), 0);
        mkdir("b");
        touch("b/new");
        ScopedTmpfs tmpfs(native(root() + "/d"));
        writeFile(root() + "/d/new");

        const std::vector<WalkedDirectory> rest = this->rest(walk);
        const bool mounted = tmpfs.mounted();
        if (subdirectoryInodes) {
            EXPECT_EQ(pathsOf(rest), (QList<QByteArray>{"a", "b", "d"}));
            ASSERT_EQ(rest.size(), 3u);
            EXPECT_FALSE(rest[1].readable);
            EXPECT_TRUE(rest[1].files.isEmpty());
            EXPECT_NE(rest[2].readable, mounted);
            EXPECT_EQ(walk.skipped(), mounted ? 2u : 1u);
        } else {
            EXPECT_EQ(pathsOf(rest), mounted ? (QList<QByteArray>{"a", "b"}) : (QList<QByteArray>{"a", "b", "d"}));
            ASSERT_GE(rest.size(), 2u);
            EXPECT_EQ(fileNames(rest[1]), "new");
            struct stat st {};
            ASSERT_EQ(::stat(native(root() + "/b").constData(), &st), 0);
            EXPECT_EQ(rest[1].inode, st.st_ino);
            EXPECT_EQ(walk.skipped(), 0u);
        }
    }
}

// Depth ---------------------------------------------------------------------------

TEST_F(Walk, TreeFiveThousandLevelsDeepWithFewDescriptors) {
    constexpr int levels = 5000;
    // Removing deep trees is slow on some disks (ext4 here: 4 ms a level), never on a tmpfs.
    const ScopedTmpfs memory(rootPath(), "256m");
    DeepTree::build(rootPath(), levels);
    const int before = DeepTree::openFdCount();
    int mostOpen = before;
    int directories = 0;
    int files = 0;
    int outOfOrder = 0;
    // Pre-order: the whole "d" chain first, then each "l" after its parent's
    // "d" subtree, so from the deepest one up.
    auto expectedPath = [](int index) {
        const int chain = index <= levels ? index : (levels - 1) / DeepTree::kLeafEvery * DeepTree::kLeafEvery
                - (index - levels - 1) * DeepTree::kLeafEvery;
        QByteArray path = QByteArray("d/").repeated(chain);
        if (index > levels)
            return path + 'l';
        path.chop(1);
        return path;
    };
    {
        OrderedWalk walk(rootPath(), withThreads(2, 64));
        RelativePath path;
        while (std::optional<WalkedDirectory> dir = walk.next(cancel)) {
            if (path.enter(*dir) != expectedPath(directories))
                ++outOfOrder;
            files += int(dir->files.size());
            if (++directories % 200 == 0)
                mostOpen = std::max(mostOpen, DeepTree::openFdCount());
        }
        EXPECT_EQ(walk.skipped(), 0u);
    }
    DeepTree::remove(rootPath());

    constexpr int leaves = levels / DeepTree::kLeafEvery;
    EXPECT_EQ(directories, levels + leaves + 1);
    EXPECT_EQ(files, leaves);
    EXPECT_EQ(outOfOrder, 0);
    EXPECT_LT(mostOpen - before, 64);
    EXPECT_EQ(DeepTree::openFdCount(), before);
}

// Under a descriptor limit the walk waits for its own descriptors and goes
// on; when even that is not enough it fails, and never counts a directory it
// could not open for lack of descriptors as unreadable.
TEST_F(Walk, ALowDescriptorLimitGivesTheWholeWalkOrAFailure) {
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
    GTEST_SKIP() << "a sanitizer's runtime needs descriptors of its own and misreports without them";
#endif
    for (int a = 0; a < 30; ++a)
        for (int b = 0; b < 10; ++b) {
            ASSERT_TRUE(QDir().mkpath(root() + QString("/a%1/b%2/c").arg(a).arg(b)));
            writeFile(root() + QString("/a%1/b%2/c/f").arg(a).arg(b));
        }
    const int expected = 1 + 30 * (1 + 10 * 2);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
    const int open = DeepTree::openFdCount();
    bool failed = false, completed = false;
    // From below the count: a descriptor open for a moment when it was taken
    // must not leave every limit tried high enough.
    for (int spare = -3; spare <= 12; ++spare) {
        rlimit limited = saved;
        limited.rlim_cur = rlim_t(open + spare);
        ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limited), 0);
        int directories = 0;
        OrderedWalk walk(rootPath(), withThreads(2, 64));
        while (walk.next(cancel))
            ++directories;
        ::setrlimit(RLIMIT_NOFILE, &saved);
        EXPECT_EQ(walk.skipped(), 0u) << spare;
        if (walk.failure() != 0) {
            failed = true;
            EXPECT_EQ(walk.failure(), EMFILE) << spare;
            EXPECT_TRUE(walk.failureText().contains("Too many open files")) << spare;
        } else {
            completed = true;
            EXPECT_EQ(directories, expected) << spare;
        }
    }
    EXPECT_TRUE(failed && completed) ; // both ends of the range were reached
}

// Stopping -------------------------------------------------------------------------

TEST_F(Walk, CancelBetweenCallsEndsTheWalk) {
    int directories = 1;
    buildTree(root(), 2, 4, 2, directories);
    OrderedWalk walk(rootPath(), withThreads(2));
    ASSERT_TRUE(walk.next(cancel).has_value());
    ASSERT_TRUE(walk.next(cancel).has_value());
    cancel = true;
    EXPECT_FALSE(walk.next(cancel).has_value());
    cancel = false;
    EXPECT_FALSE(walk.next(cancel).has_value());
}

TEST_F(Walk, CancelFromPollEndsACallThatListsOrWaits) {
    constexpr int files = 2000;
    for (int i = 0; i < files; ++i)
        touch(QStringLiteral("f%1").arg(i));
    // Each name takes a millisecond: the root's listing would take seconds,
    // on whichever thread lists it, the caller's or a worker's.
    for (const int threads : {1, 2}) {
        std::atomic<int> asked{0};
        OrderedWalk::Options options;
        options.threads = threads;
        options.nameFilter = [&](const char*, std::size_t) {
            ++asked;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
            return true;
        };
        int polls = 0;
        std::atomic<bool> stop{false};
        std::optional<WalkedDirectory> got;
        {
            OrderedWalk walk(rootPath(), options);
            got = walk.next(stop, [&] {
                ++polls;
                stop = true;
            });
        }
        EXPECT_GE(polls, 1) << threads << " threads";
        EXPECT_FALSE(got.has_value()) << threads << " threads";
        EXPECT_LT(asked.load(), files / 2) << threads << " threads";
    }
}

TEST_F(Walk, DestroyingTheWalkEarlyStopsItsWorkers) {
    int directories = 1;
    buildTree(root(), 3, 6, 4, directories);
    const int before = DeepTree::openFdCount();
    {
        OrderedWalk untouched(rootPath(), withThreads(2));
    }
    {
        OrderedWalk started(rootPath(), withThreads(2, 8));
        ASSERT_TRUE(started.next(cancel).has_value());
        ASSERT_TRUE(started.next(cancel).has_value());
    }
    // Every directory the workers held open is closed with them.
    EXPECT_EQ(DeepTree::openFdCount(), before);
}

// Sums ------------------------------------------------------------------------------

TEST_F(Walk, AFileWithSeveralNamesCountsOnceInItsDirectorysBytes) {
    mkdir("d");
    touch("d/one", 5000);
    touch("d/single", 300);
    for (const char* name : {"d/two", "d/three"})
        ASSERT_EQ(::link(native(root() + "/d/one").constData(), native(root() + '/' + name).constData()), 0);
    const std::vector<WalkedDirectory> dirs = walkAll(rootPath(), withThreads(2));
    ASSERT_EQ(dirs.size(), 2u);
    const WalkedDirectory& d = dirs[1];
    EXPECT_EQ(d.fileCount, 4u);
    EXPECT_EQ(d.files.size(), 4); // every name is listed
    EXPECT_EQ(d.fileBytes, 5300u);
    ASSERT_EQ(d.linked.size(), 1u);
    EXPECT_EQ(d.linked[0].size, 5000u);
}

TEST_F(Walk, ASubtreeSumCountsALinkSharedByTwoDirectoriesOnce) {
    mkdir("a");
    touch("a/one", 7000);
    mkdir("b");
    touch("b/other", 10);
    ASSERT_EQ(::link(native(root() + "/a/one").constData(), native(root() + "/b/again").constData()), 0);
    SubtreeBytes sum;
    for (const WalkedDirectory& dir : walkAll(rootPath(), withThreads(2)))
        sum.add(dir);
    EXPECT_EQ(sum.bytes(), 7010u);
    sum.clear();
    for (const WalkedDirectory& dir : walkAll(native(root() + "/b"), withThreads(2)))
        sum.add(dir);
    EXPECT_EQ(sum.bytes(), 7010u);
}

TEST(NameOrder, FoldsNonAsciiLettersToo) {
    QList<QByteArray> names{"\xc3\x89z", "\xc3\xa9" "a", "zz", "\xc3\x89" "a"};
    std::sort(names.begin(), names.end(), lessByNameCaseless);
    // "Éa" and "éa" differ only in case, so they sit together ahead of "Éz".
    EXPECT_EQ(joined(names), QByteArray("zz,\xc3\x89" "a,\xc3\xa9" "a,\xc3\x89z"));
}

TEST(NameOrder, AgreesWithComparingCaseFoldedTextForEveryPair) {
    // ASCII, letters that fold across scripts (Kelvin sign, long s), accented
    // letters, and a byte that is not UTF-8, mixed at every position.
    const QList<QByteArray> pieces{"a", "B", "k", "_", "1", "\xc3\x89", "\xc3\xa9", "\xe2\x84\xaa", "\xc5\xbf", "\xff"};
    QList<QByteArray> names{""};
    for (const QByteArray& x : pieces)
        for (const QByteArray& y : pieces) {
            names.push_back(x + y);
            names.push_back(x + "s" + y);
        }
    const auto reference = [](const QByteArray& a, const QByteArray& b) {
        const int c = QString::fromUtf8(a).toCaseFolded().compare(QString::fromUtf8(b).toCaseFolded());
        return c != 0 ? c < 0 : a < b;
    };
    for (const QByteArray& a : names)
        for (const QByteArray& b : names)
            ASSERT_EQ(lessByNameCaseless(a, b), reference(a, b)) << a.toHex().constData() << " " << b.toHex().constData();
}

// Depth -------------------------------------------------------------------------------

TEST(DeepChain, AMillionLevelsAreReleasedWithoutRecursing) {
    auto leaf = std::make_shared<ScanDirectory>();
    for (std::uint32_t depth = 1; depth <= 1000000; ++depth) {
        auto next = std::make_shared<ScanDirectory>();
        next->parent = std::move(leaf);
        next->name = std::to_string(depth);
        leaf = std::move(next);
    }
    leaf.reset(); // a recursive release would overflow the stack here
    SUCCEED();
}

TEST_F(Walk, TreeAHundredThousandLevelsDeep) {
    constexpr int levels = 100000;
    const ScopedTmpfs memory(rootPath(), "256m");
    if (!memory.mounted())
        GTEST_SKIP() << "a tree this deep takes minutes to remove from a disk; " << memory.why().toStdString();
    DeepTree::build(rootPath(), levels);
    int directories = 0, files = 0, wrongDepth = 0;
    {
        OrderedWalk walk(rootPath(), withThreads(2, 64));
        int chainDepth = 0;
        while (std::optional<WalkedDirectory> dir = walk.next(cancel)) {
            // The "d" chain comes first, level by level.
            if (directories <= levels && dir->depth != chainDepth++)
                ++wrongDepth;
            files += int(dir->files.size());
            ++directories;
        }
        EXPECT_EQ(walk.skipped(), 0u);
    }
    DeepTree::remove(rootPath());
    EXPECT_EQ(directories, levels + levels / DeepTree::kLeafEvery + 1);
    EXPECT_EQ(files, levels / DeepTree::kLeafEvery);
    EXPECT_EQ(wrongDepth, 0);
}
