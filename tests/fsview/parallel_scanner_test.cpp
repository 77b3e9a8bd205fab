#include "fsview/parallel_scanner.h"

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
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <mutex>
#include <set>
#include <thread>
#include <tuple>
#include <vector>

namespace {

using TreeBuilder::native;

void writeFile(const QString& path, qsizetype bytes = 0) {
    ASSERT_TRUE(TreeBuilder::dense(path, bytes)) << path.toStdString();
}

struct stat lstatOf(const QString& path) {
    struct stat st {};
    ::lstat(native(path).constData(), &st);
    return st;
}


struct Visit {
    dev_t device;
    ino_t inode;
    mode_t mode;
    auto key() const { return std::tie(device, inode, mode); }
    bool operator<(const Visit& other) const { return key() < other.key(); }
    bool operator==(const Visit& other) const { return key() == other.key(); }
};

// What a walk visited, kept per worker as a visitor should, so no lock is
// needed; a worker number out of range is counted, not stored.
class Visits {
public:
    explicit Visits(int workers) : m_byWorker(std::size_t(workers)) {}

    ParallelScanner::Visitor visitor() {
        return [this](int worker, const struct stat& st) {
            if (worker < 0 || std::size_t(worker) >= m_byWorker.size()) {
                ++m_badWorker;
                return;
            }
            m_byWorker[std::size_t(worker)].push_back({st.st_dev, st.st_ino, st.st_mode});
        };
    }
    std::vector<Visit> sorted() const {
        std::vector<Visit> all;
        for (const std::vector<Visit>& part : m_byWorker)
            all.insert(all.end(), part.begin(), part.end());
        std::sort(all.begin(), all.end());
        return all;
    }
    long countOf(ino_t inode) const {
        const std::vector<Visit> all = sorted();
        return std::count_if(all.begin(), all.end(),
                             [&](const Visit& v) { return v.inode == inode; });
    }
    int badWorker() const { return m_badWorker; }

private:
    std::vector<std::vector<Visit>> m_byWorker;
    std::atomic<int> m_badWorker{0};
};

struct TreeSize {
    std::uint64_t directories = 0;
    std::uint64_t files = 0;
};

// depth levels of fanout subdirectories, each directory holding files files.
void buildTree(const QString& dir, int depth, int fanout, int files, TreeSize& size) {
    for (int f = 0; f < files; ++f)
        writeFile(dir + QStringLiteral("/file%1").arg(f), f % 3 == 0 ? 5000 : 10);
    size.files += std::uint64_t(files);
    if (depth == 0)
        return;
    for (int d = 0; d < fanout; ++d) {
        const QString sub = dir + QStringLiteral("/dir%1").arg(d);
        ASSERT_TRUE(QDir().mkdir(sub));
        ++size.directories;
        buildTree(sub, depth - 1, fanout, files, size);
    }
}

class Scanner : public ::testing::Test {
protected:
    Scanner() {
        // Readable by the unprivileged child of the permission tests.
        ::chmod(native(dir.path()).constData(), 0755);
        QDir().mkpath(root());
        QDir().mkpath(outside());
    }
    QString root() const { return dir.path() + QStringLiteral("/vol"); }
    QString outside() const { return dir.path() + QStringLiteral("/outside"); }

    ParallelScanner::Totals walk(int threads, Visits& visits) {
        return ParallelScanner({.threads = threads}).walk(native(root()), visits.visitor(), cancel);
    }

    QTemporaryDir dir;
    std::atomic<bool> cancel{false};
};

} // namespace

// Totals and visits ------------------------------------------------------------

TEST_F(Scanner, OneThreadAndTwoFindTheSameTree) {
    TreeSize size;
    buildTree(root(), 3, 4, 6, size);
    Visits one(1);
    Visits two(2);
    const ParallelScanner::Totals byOne = walk(1, one);
    const ParallelScanner::Totals byTwo = walk(2, two);

    // The root, every subdirectory and every file.
    EXPECT_EQ(byOne.directories, size.directories + 1);
    EXPECT_EQ(byOne.entries, size.directories + size.files + 1);
    EXPECT_EQ(byOne.skipped, 0u);
    EXPECT_FALSE(byOne.cancelled);
    EXPECT_EQ(byTwo.directories, byOne.directories);
    EXPECT_EQ(byTwo.entries, byOne.entries);
    EXPECT_EQ(byTwo.skipped, 0u);
    EXPECT_FALSE(byTwo.cancelled);
    EXPECT_EQ(two.sorted(), one.sorted());
    EXPECT_EQ(one.sorted().size(), byOne.entries);
    EXPECT_EQ(one.countOf(lstatOf(root()).st_ino), 1);
    EXPECT_EQ(one.badWorker() + two.badWorker(), 0);
}

TEST_F(Scanner, UsesTheThreadsAskedForElseOnePerCore) {
    EXPECT_EQ(ParallelScanner({.threads = 2}).threadCount(), 2);
    EXPECT_EQ(ParallelScanner({.threads = 1}).threadCount(), 1);
    EXPECT_EQ(ParallelScanner().threadCount(),
              std::max(1, int(std::thread::hardware_concurrency())));
}

TEST_F(Scanner, HardLinksComeOncePerLink) {
    writeFile(root() + "/file", 100);
    ASSERT_EQ(::link(native(root() + "/file").constData(), native(root() + "/again").constData()),
              0);
    Visits visits(2);
    const ParallelScanner::Totals totals = walk(2, visits);
    EXPECT_EQ(totals.entries, 3u);
    EXPECT_EQ(visits.countOf(lstatOf(root() + "/file").st_ino), 2);
}

TEST_F(Scanner, RootThatCannotBeOpenedIsOneSkippedEntry) {
    writeFile(root() + "/plain");
    for (const QString& path : {root() + "/missing", root() + "/plain"}) {
        Visits visits(2);
        const ParallelScanner::Totals totals =
            ParallelScanner({.threads = 2}).walk(native(path), visits.visitor(), cancel);
        EXPECT_EQ(totals.skipped, 1u);
        EXPECT_EQ(totals.entries, 0u);
        EXPECT_EQ(totals.directories, 0u);
        EXPECT_FALSE(totals.cancelled);
        EXPECT_TRUE(visits.sorted().empty());
    }
}

// Symbolic links and other file systems ----------------------------------------

TEST_F(Scanner, SymbolicLinkLoopsAreVisitedNotFollowed) {
    QDir().mkpath(root() + "/a");
    ASSERT_EQ(::symlink(".", native(root() + "/loop").constData()), 0);
    ASSERT_EQ(::symlink("..", native(root() + "/a/up").constData()), 0);
    ASSERT_EQ(::symlink("self", native(root() + "/a/self").constData()), 0);
    Visits visits(2);
    const ParallelScanner::Totals totals = walk(2, visits);
    EXPECT_EQ(totals.directories, 2u);
    EXPECT_EQ(totals.entries, 5u); // root, a, loop, up, self
    EXPECT_EQ(totals.skipped, 0u);
    const std::vector<Visit> all = visits.sorted();
    EXPECT_EQ(std::count_if(all.begin(), all.end(), [](const Visit& v) { return S_ISLNK(v.mode); }),
              3);
}

TEST_F(Scanner, SymbolicLinkOutOfTheRootIsNotFollowed) {
    writeFile(outside() + "/far", 4096);
    ASSERT_EQ(::symlink(native(outside()).constData(), native(root() + "/out").constData()), 0);
    Visits visits(2);
    const ParallelScanner::Totals totals = walk(2, visits);
    EXPECT_EQ(totals.directories, 1u);
    EXPECT_EQ(totals.entries, 2u);
    EXPECT_EQ(visits.countOf(lstatOf(outside() + "/far").st_ino), 0);
    EXPECT_EQ(visits.countOf(lstatOf(outside()).st_ino), 0);
}

TEST_F(Scanner, RootMayBeASymbolicLinkToTheTree) {
    writeFile(outside() + "/file");
    const QString link = dir.path() + "/link";
    ASSERT_EQ(::symlink(native(outside()).constData(), native(link).constData()), 0);
    Visits visits(1);
    const ParallelScanner::Totals totals =
        ParallelScanner({.threads = 1}).walk(native(link), visits.visitor(), cancel);
    EXPECT_EQ(totals.entries, 2u);
    EXPECT_EQ(visits.countOf(lstatOf(outside() + "/file").st_ino), 1);
}

TEST_F(Scanner, NestedMountIsNeitherVisitedNorEntered) {
    QDir().mkpath(root() + "/a");
    writeFile(root() + "/a/one");
    QDir().mkpath(root() + "/mnt");
    ScopedTmpfs tmpfs(native(root() + "/mnt"));
    if (!tmpfs.mounted())
        GTEST_SKIP() << tmpfs.why().toStdString();
    writeFile(root() + "/mnt/inner");
    QDir().mkpath(root() + "/mnt/sub");
    const dev_t mounted = lstatOf(root() + "/mnt").st_dev;
    ASSERT_NE(mounted, lstatOf(root()).st_dev);

    Visits visits(2);
    const ParallelScanner::Totals totals = walk(2, visits);
    // Like du -x, the mount point itself is left out too.
    EXPECT_EQ(totals.entries, 3u); // root, a, one
    EXPECT_EQ(totals.directories, 2u);
    EXPECT_EQ(totals.skipped, 0u);
    const std::vector<Visit> all = visits.sorted();
    EXPECT_EQ(
        std::count_if(all.begin(), all.end(), [&](const Visit& v) { return v.device == mounted; }),
        0);
}

// Depth ---------------------------------------------------------------------------

namespace {





} // namespace

TEST_F(Scanner, TreeFiveThousandLevelsDeepWithFewDescriptors) {
    constexpr int levels = 5000;
    DeepTree::build(native(root()), levels);
    const int before = DeepTree::openFdCount();
    std::atomic<int> mostOpen{0};
    std::atomic<std::uint64_t> seen{0};
    const ParallelScanner::Visitor countFds = [&](int, const struct stat&) {
        if (++seen % 200 != 0)
            return;
        const int now = DeepTree::openFdCount();
        for (int most = mostOpen; now > most && !mostOpen.compare_exchange_weak(most, now);) {
        }
    };
    const ParallelScanner::Totals totals =
        ParallelScanner({.threads = 2}).walk(native(root()), countFds, cancel);
    DeepTree::remove(native(root()));

    constexpr std::uint64_t leaves = levels / DeepTree::kLeafEvery;
    EXPECT_EQ(totals.directories, levels + leaves + 1);
    EXPECT_EQ(totals.entries, levels + 2 * leaves + 1);
    EXPECT_EQ(totals.skipped, 0u);
    EXPECT_FALSE(totals.cancelled);
    // Bounded by the workers, not the depth; and nothing is left open.
    EXPECT_LT(mostOpen.load() - before, 64);
    EXPECT_EQ(DeepTree::openFdCount(), before);
}

// What cannot be read -----------------------------------------------------------

TEST_F(Scanner, UnreadableDirectoryIsSkippedAndTheWalkGoesOn) {
    QDir().mkpath(root() + "/open");
    QDir().mkpath(root() + "/locked");
    for (int i = 0; i < 3; ++i) {
        writeFile(root() + QStringLiteral("/open/f%1").arg(i));
        writeFile(root() + QStringLiteral("/locked/f%1").arg(i));
    }
    ASSERT_EQ(::chmod(native(root() + "/locked").constData(), 0), 0);
    const QByteArray path = native(root());
    const UnprivilegedResult result = runUnprivileged([&] {
        std::atomic<bool> never{false};
        const ParallelScanner::Totals t =
            ParallelScanner({.threads = 2}).walk(path, [](int, const struct stat&) {}, never);
        return QByteArray::number(qulonglong(t.directories)) + ' '
            + QByteArray::number(qulonglong(t.entries)) + ' '
            + QByteArray::number(qulonglong(t.skipped)) + ' ' + QByteArray::number(t.cancelled);
    });
    ::chmod(native(root() + "/locked").constData(), 0755);
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    if (result.output->startsWith("0 "))
        GTEST_SKIP() << "uid 65534 cannot reach the temporary directory "
                     << dir.path().toStdString();

    // root, open and locked are read or listed; locked's files are not reached.
    EXPECT_EQ(*result.output, "2 6 1 0");
}

TEST_F(Scanner, DirectoryRemovedDuringTheWalkIsSkipped) {
    QDir().mkpath(root() + "/kept");
    QDir().mkpath(root() + "/gone");
    for (int i = 0; i < 5; ++i) {
        writeFile(root() + QStringLiteral("/kept/f%1").arg(i));
        writeFile(root() + QStringLiteral("/gone/f%1").arg(i));
    }
    const ino_t gone = lstatOf(root() + "/gone").st_ino;
    const QString gonePath = root() + "/gone";
    Visits visits(2);
    const ParallelScanner::Visitor record = visits.visitor();
    // Listed, then removed before anyone can read it.
    const ParallelScanner::Visitor removeGone = [&](int worker, const struct stat& st) {
        record(worker, st);
        if (st.st_ino == gone)
            QDir(gonePath).removeRecursively();
    };
    const ParallelScanner::Totals totals =
        ParallelScanner({.threads = 2}).walk(native(root()), removeGone, cancel);
    EXPECT_EQ(totals.skipped, 1u);
    EXPECT_EQ(totals.directories, 2u);
    EXPECT_EQ(totals.entries, 8u); // root, kept, its five files, gone
    EXPECT_FALSE(totals.cancelled);
}

TEST_F(Scanner, EntriesVanishingAfterTheListingAreSkipped) {
    QDir().mkpath(root() + "/v");
    std::set<ino_t> files;
    for (int i = 0; i < 10; ++i) {
        writeFile(root() + QStringLiteral("/v/f%1").arg(i));
        files.insert(lstatOf(root() + QStringLiteral("/v/f%1").arg(i)).st_ino);
    }
    const QString vPath = root() + "/v";
    std::once_flag removeAll;
    // The directory is listed in one piece; the first of its files seen
    // removes them all, so the other nine are gone when they are looked at.
    const ParallelScanner::Visitor vanish = [&](int, const struct stat& st) {
        if (files.count(st.st_ino))
            std::call_once(removeAll, [&] {
                for (int i = 0; i < 10; ++i)
                    QFile::remove(vPath + QStringLiteral("/f%1").arg(i));
            });
    };
    const ParallelScanner::Totals totals =
        ParallelScanner({.threads = 2}).walk(native(root()), vanish, cancel);
    EXPECT_EQ(totals.skipped, 9u);
    EXPECT_EQ(totals.entries, 3u); // root, v, the first file
    EXPECT_EQ(totals.directories, 2u);
}

// Cancel ----------------------------------------------------------------------------

TEST_F(Scanner, CancelFromThePollStopsTheWalk) {
    constexpr int files = 2000;
    for (int i = 0; i < files; ++i)
        writeFile(root() + QStringLiteral("/f%1").arg(i));
    int polls = 0;
    const auto pressStop = [&] {
        ++polls;
        cancel = true;
    };
    // The first visit holds its worker until the stop, so the walk cannot
    // end before the calling thread has polled.
    const ParallelScanner::Visitor waitForStop = [&](int, const struct stat&) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (!cancel && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    };
    const ParallelScanner::Totals totals =
        ParallelScanner({.threads = 2}).walk(native(root()), waitForStop, cancel, pressStop);
    EXPECT_TRUE(totals.cancelled);
    EXPECT_GE(polls, 1);
    EXPECT_LT(totals.entries, std::uint64_t(files) / 2);
}

TEST_F(Scanner, CancelledBeforeTheStartVisitsNothing) {
    writeFile(root() + "/f");
    cancel = true;
    Visits visits(2);
    const ParallelScanner::Totals totals = walk(2, visits);
    EXPECT_TRUE(totals.cancelled);
    EXPECT_EQ(totals.entries, 0u);
    EXPECT_TRUE(visits.sorted().empty());
}
