#include "du_figure.h"
#include "report_fixture.h"
#include "scoped_bind_mount.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"
#include "unprivileged_run.h"

#include "fsview/name_bytes.h"
#include "reports/directory_report.h"
#include "reports/directory_rows_removal.h"
#include "reports/ncdu_scan.h"
#include "reports/report_run.h"

#include <QFileInfo>
#include <QLocale>

#include <gtest/gtest.h>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

class DirectoryReports : public ::testing::Test {
protected:
    DirectoryReports() {
        builder.tree("ACME_TREE").server("FS1", {"VOL1"});
        root = QFile::decodeName(builder.rootOf("FS1", "VOL1"));
    }
    // Runs the Directory report as the report run does and returns the rows as "path|size".
    QStringList run(const QString& start, SubDirOption option) {
        f = std::make_unique<ReportFixture>(builder.site());
        f->search.tabSearch = ReportKind::Directory;
        f->search.cmbServer.showOrAdd("FS1");
        f->search.cmbVolumeList.showOrAdd("VOL1");
        f->search.lblDirectory = start;
        f->search.subDirOption = option;
        f->search.allocatedSizes = allocated;
        f->app.exportFilePath = exportTo;
        f->app.importFilePath = importFrom;
        f->env.sizeTree = kept;
        if (onPoll)
            f->host.onPoll = [this] { onPoll(*f); };
        btnShowUsage_Click(f->env);
        QStringList rows;
        for (qsizetype row = 1; row < f->grid.rows(); ++row)
            rows.append(f->grid.cell(row, 1) + "|" + f->grid.cell(row, 2).trimmed());
        return rows;
    }

    // Each row's figures: bytes/allocated/files.
    QStringList figures() const {
        QStringList all;
        for (qsizetype row = 1; row < f->grid.rows(); ++row) {
            const RowFigures figures = f->grid.figures(row);
            all.append(QString("%1/%2/%3").arg(figures.bytes).arg(figures.allocated).arg(figures.files));
        }
        return all;
    }

    // top/a/f and top/a/private/secret, a megabyte each (sparse), and every
    // folder down to a/ open to others as mode says, but private/.
    void buildPrivateFolder(mode_t mode) {
        TreeBuilder::file(root + "/top/a/f", 1048576);
        TreeBuilder::file(root + "/top/a/private/secret", 1048576);
        for (const QString& d : {builder.dir(), root, root + "/top", root + "/top/a"})
            ::chmod(QFile::encodeName(d).constData(), mode);
        ::chmod(QFile::encodeName(root + "/top/a/private").constData(), 0700);
    }

    SiteBuilder builder;
    QString root;
    std::unique_ptr<ReportFixture> f;
    std::function<void(ReportFixture&)> onPoll;
    bool allocated = false;
    QString exportTo;   // /EXPORT=
    QString importFrom; // /IMPORT=
    SizeTree* kept = nullptr; // what the walk saw, as a window keeps it
};

} // namespace

TEST_F(DirectoryReports, OneMegabyteAndABitRoundsDifferentlyInTheTwoForms) {
    TreeBuilder::file(root + "/USERS/d/a.bin", 1000000);
    TreeBuilder::file(root + "/USERS/d/b.bin", 52770); // 1,052,770 bytes in all
    EXPECT_EQ(run("\\\\FS1\\VOL1\\USERS\\D", SubDirOption::optAllSubDirs), QStringList{"\\\\FS1\\VOL1\\USERS\\d|1.00"});
    EXPECT_EQ(run("\\\\FS1\\VOL1\\USERS", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\USERS\\d|1.00"});
    EXPECT_EQ(f->grid.cell(1, 0), "0");
    // The total sums the exact sizes, not the rounded-up cells.
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 1    |    Total Size: 1.00 MB");
}

TEST_F(DirectoryReports, ImmediateSizesCountEverythingBelow) {
    TreeBuilder::file(root + "/top/a/x.dat", 3 * 1048576);
    TreeBuilder::file(root + "/top/a/deep/y.dat", 1048576);
    TreeBuilder::file(root + "/top/B/z.dat", 2 * 1048576);
    TreeBuilder::file(root + "/top/own.dat", 5 * 1048576); // the start's own files are no row
    EXPECT_EQ(run("\\\\FS1\\VOL1\\TOP", SubDirOption::optImmediateSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\top\\a|4.00", "\\\\FS1\\VOL1\\top\\B|2.00"}));
}

TEST_F(DirectoryReports, IndividuallyInPreOrderWithOwnFilesOnly) {
    TreeBuilder::file(root + "/s/f.dat", 1048576);
    TreeBuilder::file(root + "/s/A/a1/f.dat", 2 * 1048576);
    TreeBuilder::dir(root + "/s/A/a2/x");
    TreeBuilder::file(root + "/s/b/f.dat", 524288);
    TreeBuilder::dir(root + "/s/C");
    EXPECT_EQ(run("\\\\FS1\\VOL1\\s", SubDirOption::optAllSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\s|1.00", "\\\\FS1\\VOL1\\s\\A|0.00", "\\\\FS1\\VOL1\\s\\A\\a1|2.00",
                           "\\\\FS1\\VOL1\\s\\A\\a2|0.00", "\\\\FS1\\VOL1\\s\\A\\a2\\x|0.00",
                           "\\\\FS1\\VOL1\\s\\b|0.50", "\\\\FS1\\VOL1\\s\\C|0.00"}));
    EXPECT_DOUBLE_EQ(f->run.sizeTotal, 3.5);
}

TEST_F(DirectoryReports, EmptyStartDirectory) {
    TreeBuilder::dir(root + "/empty");
    EXPECT_EQ(run("\\\\FS1\\VOL1\\EMPTY", SubDirOption::optImmediateSubDirs), QStringList{});
    EXPECT_EQ(run("\\\\FS1\\VOL1\\EMPTY", SubDirOption::optAllSubDirs), QStringList{"\\\\FS1\\VOL1\\empty|0.00"});
}

TEST_F(DirectoryReports, TheVolumeRootAsStart) {
    TreeBuilder::file(root + "/one/f.dat", 1048576);
    EXPECT_EQ(run("\\\\FS1\\VOL1\\", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\one|1.00"});
    EXPECT_EQ(run("\\\\FS1\\VOL1", SubDirOption::optAllSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\|0.00", "\\\\FS1\\VOL1\\one|1.00"}));
}

TEST_F(DirectoryReports, CancelRemovesTheRowBeingMeasured) {
    for (const char* d : {"a", "b", "c"})
        TreeBuilder::file(root + "/t/" + d + "/f.dat", 1048576);
    onPoll = [](ReportFixture& fx) {
        const qsizetype last = fx.grid.rows() - 1;
        if (fx.grid.cell(last, 1).endsWith("\\b") && fx.grid.cell(last, 2) == "Calculating..")
            fx.run.cancel = true;
    };
    // An export begun is not put in place: it would pass for the whole tree.
    exportTo = builder.dir() + "/t.json";
    TreeBuilder::dense(exportTo, 9);
    EXPECT_EQ(run("\\\\FS1\\VOL1\\t", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\t\\a|1.00"});
    EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Cancelled! " + exportTo + " was left as it was.");
    QFile kept(exportTo);
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), QByteArray(9, 'x'));
}

TEST_F(DirectoryReports, AStartDirectoryThatIsMissingSaysSo) {
    EXPECT_EQ(run("\\\\FS1\\VOL1\\NOPE", SubDirOption::optAllSubDirs), QStringList{});
    ASSERT_EQ(f->host.messages.size(), 1);
    EXPECT_TRUE(f->host.messages[0].contains("\\\\FS1\\VOL1\\NOPE does not exist")) << f->host.messages[0].toStdString();
    EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Cancelled!");
}

// What is measured -------------------------------------------------------------------

TEST_F(DirectoryReports, AFileWithSeveralNamesCountsOncePerRow) {
    TreeBuilder::file(root + "/top/h/one", 2 * 1048576);
    for (const char* name : {"two", "three", "four"})
        ASSERT_EQ(::link(QFile::encodeName(root + "/top/h/one").constData(),
                         QFile::encodeName(root + "/top/h/" + name).constData()), 0);
    TreeBuilder::dir(root + "/top/h/sub");
    ASSERT_EQ(::link(QFile::encodeName(root + "/top/h/one").constData(),
                     QFile::encodeName(root + "/top/h/sub/five").constData()), 0);
    // As du -sb counts them: each inode once within what the row sums.
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\top\\h|2.00"});
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top\\h", SubDirOption::optAllSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\top\\h|2.00", "\\\\FS1\\VOL1\\top\\h\\sub|2.00"}));
    // The total, though, counts the file once for the whole run, as du -sb of the start does.
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 2    |    Total Size: 2.00 MB");
}

TEST_F(DirectoryReports, ADirectoryNamedWithABackslashIsMeasuredAsItself) {
    TreeBuilder::file(root + "/top/dir\\with/small", 1048576);
    TreeBuilder::file(root + "/top/dir/with/large", 3 * 1048576);
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top", SubDirOption::optImmediateSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\top\\dir|3.00", "\\\\FS1\\VOL1\\top\\dir\\with|1.00"}));
}

TEST_F(DirectoryReports, ANameThatIsNotUtf8IsMeasured) {
    const QByteArray bad = QFile::encodeName(root) + "/top/caf\xe9";
    TreeBuilder::dir(root + "/top");
    ASSERT_EQ(::mkdir(bad.constData(), 0755), 0);
    const int fd = ::open((bad + "/f").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1048576), 0);
    ::close(fd);
    const QStringList rows = run("\\\\FS1\\VOL1\\top", SubDirOption::optImmediateSubDirs);
    // Qt cannot remove what it cannot name.
    ::unlink((bad + "/f").constData());
    ::rmdir(bad.constData());
    ASSERT_EQ(rows.size(), 1);
    EXPECT_TRUE(rows[0].endsWith("|1.00")) << rows[0].toStdString();
}

// Started in a folder whose name is not UTF-8, the walk's tree names its
// start as the rows do: a file taken out of the tree leaves its row.
TEST_F(DirectoryReports, AStartNotInUtf8KeepsItsRowsInTheSizeTree) {
    const QByteArray bad = QFile::encodeName(root) + "/caf\xe9";
    ASSERT_EQ(::mkdir(bad.constData(), 0755), 0);
    const int fd = ::open((bad + "/f").constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, 1048576), 0);
    ::close(fd);
    SizeTree tree;
    kept = &tree;
    // As the window's directory list names it: the byte kept in the text.
    const QStringList rows = run(NameBytes::decode(QByteArray("\\\\FS1\\VOL1\\caf\xe9")), SubDirOption::optAllSubDirs);
    ::unlink((bad + "/f").constData());
    ::rmdir(bad.constData());
    ASSERT_EQ(rows.size(), 1) << f->run.failure.toStdString() << f->host.messages.join('\n').toStdString();
    EXPECT_EQ(tree.path(0), QByteArray("\\\\FS1\\VOL1\\caf\xe9"));
    ASSERT_EQ(tree.children(0).size(), 1u);
    const std::vector<SizeTree::Index> gone{tree.children(0)[0]};
    tree.removeFiles(gone);
    DirectoryRowsRemoval(f->env, tree).take(gone);
    EXPECT_EQ(f->grid.figures(1).bytes, 0);
    EXPECT_EQ(f->grid.cell(1, 2).trimmed(), "0.00");
}

TEST_F(DirectoryReports, AFileSystemMountedBelowIsLeftOutOfEveryForm) {
    TreeBuilder::file(root + "/top/a/f", 1048576);
    TreeBuilder::dir(root + "/top/mnt");
    TreeBuilder::dir(root + "/top/a/mnt");
    ScopedTmpfs below(QFile::encodeName(root + "/top/mnt"));
    ScopedTmpfs deeper(QFile::encodeName(root + "/top/a/mnt"));
    if (!below.mounted() || !deeper.mounted())
        GTEST_SKIP() << below.why().toStdString();
    TreeBuilder::file(root + "/top/mnt/big", 5 * 1048576);
    TreeBuilder::file(root + "/top/a/mnt/big", 5 * 1048576);
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\top\\a|1.00"});
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top", SubDirOption::optAllSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\top|0.00", "\\\\FS1\\VOL1\\top\\a|1.00"}));
}

TEST_F(DirectoryReports, AFolderBindMountedBelowItselfIsCountedOnceAsDuCountsIt) {
    TreeBuilder::file(root + "/top/a/f", 1048576);
    TreeBuilder::file(root + "/top/a/c/g", 3 * 1048576);
    TreeBuilder::file(root + "/top/h/i", 524288);
    TreeBuilder::dir(root + "/top/a/loop");
    const QString top = root + "/top";
    ScopedBindMount loop(TreeBuilder::native(top + "/a"), TreeBuilder::native(top + "/a/loop"));
    if (!loop.mounted())
        GTEST_SKIP() << loop.why().toStdString();
    // du -sb counts the folders' own sizes too, which no row holds.
    const std::optional<std::uint64_t> du = commandFigure("du", {"-sb", top});
    const std::optional<std::uint64_t> folders = commandFigure("find", {top, "-type", "d", "-printf", "%s\\n"}, true);
    ASSERT_TRUE(du && folders);
    const QString looped = " (1 folder that loops back to one above it was not entered again)";
    for (const SubDirOption option : {SubDirOption::optAllSubDirs, SubDirOption::optImmediateSubDirs}) {
        run("\\\\FS1\\VOL1\\top", option);
        EXPECT_EQ(std::uint64_t(f->run.sizeTotal * 1048576.0), *du - *folders);
        EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Complete." + looped);
    }
    EXPECT_EQ(*du - *folders, 4718592u);
}

TEST_F(DirectoryReports, ContentThatCannotBeReadIsCountedNotDropped) {
    buildPrivateFolder(0755);
    const UnprivilegedResult result = runUnprivileged([this] {
        const QStringList rows = run("\\\\FS1\\VOL1\\top", SubDirOption::optImmediateSubDirs);
        return (rows.join(";") + "#" + QString::number(f->run.unreadableEntries)).toUtf8();
    });
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    EXPECT_EQ(QString::fromUtf8(*result.output), "\\\\FS1\\VOL1\\top\\a|1.00#1");
}

// Totals and paths -------------------------------------------------------------------

TEST_F(DirectoryReports, TotalsSumTheExactSizesNotTheRoundedCells) {
    for (int i = 0; i < 200; ++i)
        TreeBuilder::file(root + QStringLiteral("/many/d%1/f").arg(i, 3, 10, QLatin1Char('0')), 4096);
    run("\\\\FS1\\VOL1\\many", SubDirOption::optAllSubDirs);
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 201    |    Total Size: 0.78 MB");
    // The closing status keeps what the run went through.
    EXPECT_TRUE(f->host.statuses.last().startsWith("Process Complete. 201 directories, 200 files, 800.00 kB in "))
        << f->host.statuses.last().toStdString();
    run("\\\\FS1\\VOL1\\many", SubDirOption::optImmediateSubDirs);
    EXPECT_EQ(f->grid.cell(1, 2).trimmed(), "0.00"); // 4 KiB: rounded once, as All Sub-Directories does
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 200    |    Total Size: 0.78 MB");
}

TEST_F(DirectoryReports, ATrailingBackslashOnTheStartAddsNoSecondSeparator) {
    TreeBuilder::file(root + "/top/a/f", 1048576);
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top\\", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\top\\a|1.00"});
}

// Exchanged with ncdu and gdu ----------------------------------------------------------

namespace {

// Removes what Qt cannot name, a name that is not UTF-8, when the test ends.
struct RemovedAtEnd {
    QByteArray path;
    ~RemovedAtEnd() { ::unlink(path.constData()); }
};

// Under top: a sparse file, a file with names in two folders, a symbolic
// link, a FIFO and a file whose name is not UTF-8.
RemovedAtEnd buildExchangeTree(const QString& top) {
    const QByteArray at = TreeBuilder::native(top);
    TreeBuilder::file(top + "/sparse", 10 * 1048576);
    TreeBuilder::dir(top + "/a");
    TreeBuilder::dir(top + "/b/deeper");
    EXPECT_TRUE(TreeBuilder::dense(top + "/a/linked", 1048576));
    EXPECT_EQ(::link(at + "/a/linked", at + "/b/deeper/linked too"), 0);
    EXPECT_EQ(::symlink("a/linked", at + "/symlink"), 0);
    EXPECT_EQ(::mkfifo(at + "/fifo", 0644), 0);
    RemovedAtEnd odd{at + "/a/caf\xe9\"\\\n\x01"};
    const int fd = ::open(odd.path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    EXPECT_TRUE(fd >= 0 && ::write(fd, "12345", 5) == 5);
    ::close(fd);
    return odd;
}

std::uint64_t du(const QString& path, const char* unit) {
    return commandFigure("du", {"-s", "-x", unit, path}).value_or(0);
}

// gdu's total of an export, in bytes: on the disk, or apparent.
std::uint64_t gduTotal(const QString& file, bool apparent) {
    QStringList arguments{"-f", file, "-n", "-p", "-s", "--no-prefix"};
    if (apparent)
        arguments.append("-a");
    const SpawnedOutput gdu = spawnOutput("gdu", arguments);
    return gdu.succeeded() ? gdu.out.simplified().split(' ').first().toULongLong() : 0;
}

// What ncdu writes back of an export it imported; empty when it refused it.
QString ncduReexport(const QString& file) {
    const QString out = file + ".ncdu.json";
    return spawnOutput("ncdu", {"-f", file, "-o", out}).succeeded() ? out : QString();
}

// Each entry's path: the root's name, then names joined by /.
std::vector<QByteArray> pathsOf(const NcduScan& scan) {
    std::vector<QByteArray> paths(scan.size());
    std::vector<std::size_t> open; // directories whose subtree holds the next entry
    for (std::size_t i = 0; i < scan.size(); ++i) {
        while (!open.empty() && scan.entry(open.back()).end <= i)
            open.pop_back();
        paths[i] = open.empty() ? scan.name(i).toByteArray() : paths[open.back()] + '/' + scan.name(i).toByteArray();
        if (scan.entry(i).directory)
            open.push_back(i);
    }
    return paths;
}

// What find -xdev lists, as bytes.
std::vector<QByteArray> found(const QString& top) {
    QList<QByteArray> listed = spawnOutput("find", {top, "-xdev", "-print0"}).out.split('\0');
    listed.removeAll(QByteArray());
    return {listed.begin(), listed.end()};
}

void expectAsLstatSeesIt(const NcduScan& scan, std::size_t i, const QByteArray& path) {
    struct stat st {};
    ASSERT_EQ(::lstat(path.constData(), &st), 0) << path.constData();
    const NcduScan::Entry& e = scan.entry(i);
    const bool mount = e.excluded == NcduScan::Excluded::OtherFileSystem;
    EXPECT_EQ(e.apparent, mount ? 0 : std::uint64_t(st.st_size)) << path.constData();
    EXPECT_EQ(e.allocated, mount ? 0 : std::uint64_t(st.st_blocks) * 512) << path.constData();
    EXPECT_EQ(e.device, std::uint64_t(st.st_dev)) << path.constData();
    EXPECT_EQ(e.inode, std::uint64_t(st.st_ino)) << path.constData();
    EXPECT_EQ(e.uid, st.st_uid);
    EXPECT_EQ(e.gid, st.st_gid);
    EXPECT_EQ(e.mode, st.st_mode) << path.constData();
    EXPECT_EQ(e.mtime, st.st_mtime);
    EXPECT_EQ(e.directory, S_ISDIR(st.st_mode)) << path.constData();
    EXPECT_EQ(e.notRegular, !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) << path.constData();
    const bool linked = !S_ISDIR(st.st_mode) && st.st_nlink > 1;
    EXPECT_EQ(e.hardLinked, linked) << path.constData();
    EXPECT_EQ(e.links, linked ? st.st_nlink : 0) << path.constData();
}

} // namespace

// Every entry below the start, a mount point's included, each with its own inode's figures.
TEST_F(DirectoryReports, TheExportReadsBackAsLstatSeesEachEntry) {
    const QString top = root + "/x";
    const RemovedAtEnd odd = buildExchangeTree(top);
    TreeBuilder::dir(top + "/b/mnt");
    ScopedTmpfs mounted(TreeBuilder::native(top + "/b/mnt"));
    exportTo = builder.dir() + "/x.json";
    for (const SubDirOption option : {SubDirOption::optAllSubDirs, SubDirOption::optImmediateSubDirs}) {
        run("\\\\FS1\\VOL1\\x", option);
        ASSERT_TRUE(f->run.failure.isEmpty()) << f->run.failure.toStdString();
        const NcduScan scan = NcduScan::read(exportTo);
        std::vector<QByteArray> paths = pathsOf(scan);
        EXPECT_EQ(paths[0], TreeBuilder::native(QFileInfo(top).canonicalFilePath()));
        for (std::size_t i = 0; i < scan.size(); ++i)
            expectAsLstatSeesIt(scan, i, paths[i]);
        std::vector<QByteArray> listed = found(paths[0]);
        std::sort(paths.begin(), paths.end());
        std::sort(listed.begin(), listed.end());
        EXPECT_EQ(paths, listed);
        EXPECT_EQ(scan.allocatedBytes(), du(top, "-B1"));
        EXPECT_EQ(scan.apparentBytes(), du(top, "-b"));
    }
    // ncdu takes the mount point for one as well.
    const QString again = ncduReexport(exportTo);
    ASSERT_FALSE(again.isEmpty());
    const NcduScan reread = NcduScan::read(again);
    std::size_t mounts = 0;
    for (std::size_t i = 0; i < reread.size(); ++i)
        mounts += reread.entry(i).excluded == NcduScan::Excluded::OtherFileSystem;
    EXPECT_EQ(mounts, mounted.mounted() ? 1u : 0u);
}

TEST_F(DirectoryReports, GduAndNcduReadTheExportWithDusTotals) {
    const QString top = root + "/x";
    const RemovedAtEnd odd = buildExchangeTree(top);
    exportTo = builder.dir() + "/x.json";
    run("\\\\FS1\\VOL1\\x", SubDirOption::optAllSubDirs);
    ASSERT_TRUE(f->run.failure.isEmpty()) << f->run.failure.toStdString();
    // The linked file's megabyte once: counted twice, both sums would be a megabyte over.
    EXPECT_EQ(gduTotal(exportTo, false), du(top, "-B1"));
    EXPECT_EQ(gduTotal(exportTo, true), du(top, "-b"));
    const QString again = ncduReexport(exportTo);
    ASSERT_FALSE(again.isEmpty());
    const NcduScan scan = NcduScan::read(again);
    EXPECT_EQ(scan.allocatedBytes(), du(top, "-B1"));
    EXPECT_EQ(scan.apparentBytes(), du(top, "-b"));
    // The name that is not UTF-8 went through ncdu as its bytes.
    std::size_t oddNames = 0;
    for (std::size_t i = 0; i < scan.size(); ++i)
        oddNames += scan.name(i) == QByteArrayView("caf\xe9\"\\\n\x01");
    EXPECT_EQ(oddNames, 1u);
}

TEST_F(DirectoryReports, AFolderThatCannotBeReadIsExportedWithItsReadError) {
    buildPrivateFolder(0777); // the child writes the export beside the volume
    exportTo = builder.dir() + "/top.json";
    const UnprivilegedResult result = runUnprivileged([this] {
        run("\\\\FS1\\VOL1\\top", SubDirOption::optAllSubDirs);
        return f->run.failure.toUtf8();
    });
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    ASSERT_EQ(*result.output, "");
    const NcduScan scan = NcduScan::read(exportTo);
    const std::vector<QByteArray> paths = pathsOf(scan);
    const auto at = std::find(paths.begin(), paths.end(), paths[0] + "/a/private");
    ASSERT_NE(at, paths.end());
    const NcduScan::Entry& locked = scan.entry(std::size_t(at - paths.begin()));
    EXPECT_TRUE(locked.readError);
    EXPECT_EQ(locked.end, std::size_t(at - paths.begin()) + 1); // nothing inside it could be seen
    // What could be read: the folders and the one file, to gdu and ncdu alike.
    const std::uint64_t seen = scan.apparentBytes();
    EXPECT_EQ(seen, du(root + "/top", "-b") - 1048576);
    EXPECT_EQ(gduTotal(exportTo, true), seen);
    const QString again = ncduReexport(exportTo);
    ASSERT_FALSE(again.isEmpty());
    EXPECT_EQ(NcduScan::read(again).apparentBytes(), seen);
}

// A scan read back gives the rows its walk gave: ours, and the one ncdu writes.
TEST_F(DirectoryReports, AnImportGivesTheRowsOfAWalkOfTheSameTree) {
    const QString top = root + "/x";
    const RemovedAtEnd odd = buildExchangeTree(top);
    TreeBuilder::file(top + "/B/c/big", 3 * 1048576 + 7);
    TreeBuilder::file(top + "/a/Z/small", 333);
    TreeBuilder::dir(top + "/b/mnt");
    ASSERT_EQ(::link(TreeBuilder::native(top + "/a/linked").constData(),
                     TreeBuilder::native(top + "/a/linked again").constData()), 0);
    ScopedTmpfs mounted(TreeBuilder::native(top + "/b/mnt"));
    if (mounted.mounted())
        TreeBuilder::file(top + "/b/mnt/elsewhere", 1048576);
    ASSERT_TRUE(TreeBuilder::ncduExport(top, builder.dir() + "/ncdu.json"));
    for (const SubDirOption option : {SubDirOption::optAllSubDirs, SubDirOption::optImmediateSubDirs}) {
        exportTo = builder.dir() + "/x.json";
        const QStringList walked = run("\\\\FS1\\VOL1\\x", option);
        const QStringList walkedFigures = figures();
        const double total = f->run.sizeTotal;
        exportTo.clear();
        for (const QString& scan : {builder.dir() + "/x.json", builder.dir() + "/ncdu.json"}) {
            importFrom = scan;
            EXPECT_EQ(run("\\\\FS1\\VOL1\\x", option), walked) << scan.toStdString();
            EXPECT_EQ(figures(), walkedFigures) << scan.toStdString();
            EXPECT_EQ(f->run.sizeTotal, total) << scan.toStdString();
            EXPECT_TRUE(f->run.failure.isEmpty()) << f->run.failure.toStdString();
        }
        importFrom.clear();
    }
}

TEST_F(DirectoryReports, AllocatedSizesAreTheBlocksTheFilesTakeAsFindCountsThem) {
    const QString top = root + "/top";
    QDir().mkpath(top + "/a/deep");
    QDir().mkpath(top + "/b");
    TreeBuilder::file(top + "/a/sparse.img", 10 << 20); // a length, no blocks
    ASSERT_TRUE(TreeBuilder::dense(top + "/a/deep/notes.log", 5000));
    ASSERT_TRUE(TreeBuilder::dense(top + "/b/photo.jpg", 70000));
    const auto blocks = [](const QString& path) {
        return *commandFigure("find", {path, "-type", "f", "-printf", "%b\\n"}, true) * 512;
    };
    const auto megabytes = [](std::uint64_t bytes) { return QLocale().toString(double(bytes) / 1048576.0, 'f', 2); };
    allocated = true;
    EXPECT_EQ(run("\\\\FS1\\VOL1\\top", SubDirOption::optImmediateSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\top\\a|" + megabytes(blocks(top + "/a")),
                           "\\\\FS1\\VOL1\\top\\b|" + megabytes(blocks(top + "/b"))}));
    EXPECT_EQ(f->grid.cell(0, 2), "Allocated(MB)");
    EXPECT_EQ(f->run.sizeTotal, double(blocks(top)) / 1048576.0);
    const QStringList individually = run("\\\\FS1\\VOL1\\top", SubDirOption::optAllSubDirs);
    EXPECT_TRUE(individually.contains("\\\\FS1\\VOL1\\top\\a\\deep|" + megabytes(blocks(top + "/a/deep"))))
        << individually.join(' ').toStdString();
}
