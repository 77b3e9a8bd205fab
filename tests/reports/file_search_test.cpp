#include "report_fixture.h"
#include "scoped_bind_mount.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"
#include "unprivileged_run.h"

#include "reports/file_search.h"
#include "reports/grid_layouts.h"
#include "reports/report_run.h"

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>
#include <unistd.h>

namespace {

class FileSearch : public ::testing::Test {
protected:
    FileSearch() {
        builder.tree("ACME_TREE").server("FS1", {"VOL1"});
        root = QFile::decodeName(builder.rootOf("FS1", "VOL1"));
    }
    void start(ReportKind kind, const QString& directory) {
        f = std::make_unique<ReportFixture>(builder.site());
        f->search.tabSearch = kind;
        f->search.cmbServer.showOrAdd("FS1");
        f->search.cmbVolumeList.showOrAdd("VOL1");
        f->search.lblDirectory = directory;
        f->app.importFilePath = importFrom;
    }
    // "directory|file" of every row, after a run of the File report.
    QStringList files(const QString& pattern, const QString& directory = "\\\\FS1\\VOL1\\docs") {
        start(ReportKind::File, directory);
        f->search.txtFileType = pattern;
        btnShowUsage_Click(f->env);
        return cells({1, 2});
    }
    QStringList bySize(const QString& comparison, const QString& megabytes) {
        start(ReportKind::File, "\\\\FS1\\VOL1\\sizes");
        f->search.fileOption = FileOption::optFileSize;
        f->search.cmbSizeLimit.text = comparison;
        f->search.txtSearchSize = megabytes;
        btnShowUsage_Click(f->env);
        return cells({2});
    }
    QStringList cells(std::initializer_list<int> cols) const {
        QStringList rows;
        for (qsizetype row = 1; row < f->grid.rows(); ++row) {
            QStringList parts;
            for (int col : cols)
                parts.append(f->grid.cell(row, col));
            rows.append(parts.join("|"));
        }
        return rows;
    }

    // Every cell of every row, and its figures.
    QStringList rows() const {
        QStringList all = cells({0, 1, 2, 3, 4, 5, 6});
        for (qsizetype row = 1; row < f->grid.rows(); ++row) {
            const RowFigures figures = f->grid.figures(row);
            all[row - 1] += QString("|%1/%2/%3").arg(figures.bytes).arg(figures.allocated).arg(figures.modified);
        }
        return all;
    }

    SiteBuilder builder;
    QString root;
    std::unique_ptr<ReportFixture> f;
    QString importFrom; // /IMPORT=
};

} // namespace

TEST_F(FileSearch, PatternsMatchWithoutRegardToCaseAndTheWalkDescendsEverywhere) {
    TreeBuilder::file(root + "/docs/a.txt", 10);
    TreeBuilder::file(root + "/docs/B.TxT", 10);
    TreeBuilder::file(root + "/docs/c.doc", 10);
    TreeBuilder::file(root + "/docs/sub.doc/d.txt", 10);
    EXPECT_EQ(files("*.TXT"), (QStringList{"\\\\FS1\\VOL1\\docs|a.txt", "\\\\FS1\\VOL1\\docs|B.TxT",
                                           "\\\\FS1\\VOL1\\docs\\sub.doc|d.txt"}));
    EXPECT_EQ(files("*.*").size(), 4);
    EXPECT_EQ(f->run.patternInUse, "*.*");
}

// Folders are not statted where a search lists them: a mount is found to be
// one, and a folder bound below itself to loop, only as they are opened.
TEST_F(FileSearch, AMountBelowIsLeftOutAndAFolderBoundBelowItselfIsListedOnce) {
    TreeBuilder::file(root + "/docs/a/f.txt", 10);
    TreeBuilder::dir(root + "/docs/a/loop");
    TreeBuilder::dir(root + "/docs/mnt");
    ScopedTmpfs mounted(TreeBuilder::native(root + "/docs/mnt"));
    ScopedBindMount loop(TreeBuilder::native(root + "/docs/a"), TreeBuilder::native(root + "/docs/a/loop"));
    if (!mounted.mounted() || !loop.mounted())
        GTEST_SKIP() << mounted.why().toStdString() << loop.why().toStdString();
    TreeBuilder::file(root + "/docs/mnt/g.txt", 10);
    EXPECT_EQ(files("*.*"), QStringList{"\\\\FS1\\VOL1\\docs\\a|f.txt"});
    EXPECT_EQ(f->run.progress.directories, 2u);
    EXPECT_TRUE(f->host.statuses.last().contains("1 folder that loops back to one above it was not entered again"))
        << f->host.statuses.last().toStdString();
}

TEST_F(FileSearch, RowsCarrySizeDateTimeAndSortKey) {
    TreeBuilder::file(root + "/docs/n.dat", 1234);
    TreeBuilder::times(root + "/docs/n.dat", QDate(1990, 1, 2), QDate(1990, 1, 2));
    TreeBuilder::file(root + "/docs/o.dat", 1);
    TreeBuilder::times(root + "/docs/o.dat", QDate(1989, 12, 31), QDate(1989, 12, 31));
    files("*");
    EXPECT_EQ(cells({0, 4, 5, 6}), (QStringList{"1|          1,234|1/2/1990|12:00 PM", "-1|              1|12/31/1989|12:00 PM"}));
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 2    |    Total Size: 0.00 MB");
    EXPECT_DOUBLE_EQ(f->run.sizeTotal, 1235);
}

TEST_F(FileSearch, TheVolumeRootsDirectoryEndsInABackslash) {
    TreeBuilder::file(root + "/top.txt", 1);
    EXPECT_EQ(files("TOP.TXT", "\\\\FS1\\VOL1"), QStringList{"\\\\FS1\\VOL1\\|top.txt"});
    EXPECT_EQ(files("TOP.TXT", "\\\\FS1\\VOL1\\"), QStringList{"\\\\FS1\\VOL1\\|top.txt"});
}

TEST_F(FileSearch, SizeComparisons) {
    TreeBuilder::file(root + "/sizes/exact", 1048576);
    TreeBuilder::file(root + "/sizes/under", 1048575);
    TreeBuilder::file(root + "/sizes/half", 524288);
    TreeBuilder::file(root + "/sizes/empty", 0);
    EXPECT_EQ(bySize("=", "1"), QStringList{"exact"});
    EXPECT_EQ(bySize(">", "1"), QStringList{});
    EXPECT_EQ(bySize("<", ""), QStringList{});
    EXPECT_EQ(bySize("<", "0.5"), QStringList{"empty"});
    EXPECT_EQ(bySize("=", "0.5"), QStringList{"half"});
    EXPECT_EQ(bySize(">", "0.5"), (QStringList{"exact", "under"}));
}

TEST_F(FileSearch, OwnerFilterNoOwnerListsFilesWithoutAUser) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "owners need chown, which needs root";
    TreeBuilder::file(root + "/docs/lost.dat", 5);
    TreeBuilder::file(root + "/docs/roots.dat", 7);
    ASSERT_EQ(::chown(QFile::encodeName(root + "/docs/lost.dat").constData(), 4242, 4242), 0);
    start(ReportKind::Owner, "\\\\FS1\\VOL1\\docs");
    subInitializeGrid(f->grid, "OwnerFile");
    NWDSContextHandle ctx = 0;
    f->client.NWDSCreateContextHandle(ctx);
    f->run.dsContext = ctx;
    subListDirsAndFiles(f->env, "\\\\FS1\\VOL1\\docs", "[No Owner]");
    EXPECT_EQ(cells({2, 3}), QStringList{"lost.dat|              5"});
    f->grid.reset(6);
    subListDirsAndFiles(f->env, "\\\\FS1\\VOL1\\docs", "[Supervisor]");
    EXPECT_EQ(cells({2}), QStringList{"roots.dat"});
    // In a listing the uid no user has is shown by its number, as ls -l shows it.
    const QStringList listed = files("lost.dat");
    ASSERT_EQ(listed.size(), 1);
    EXPECT_EQ(f->grid.cell(1, f->grid.fcnFindColumn("Owner")), "#4242");
}

TEST_F(FileSearch, RowLimitEndsTheWalk) {
    const QString big = root + "/many/a";
    TreeBuilder::dir(big);
    for (int i = 0; i <= kFileRowLimit; ++i) {
        QFile file(big + QString("/f%1").arg(i, 5, 10, QChar('0')));
        file.open(QIODevice::WriteOnly);
    }
    TreeBuilder::file(root + "/many/z/last.txt", 1);
    files("*", "\\\\FS1\\VOL1\\many");
    EXPECT_EQ(f->grid.rows() - 1, kFileRowLimit);
    EXPECT_EQ(f->host.messages, QStringList{"Please narrow your search, too many records returned"});
    EXPECT_TRUE(f->run.rowLimitReached);
    EXPECT_FALSE(f->host.statuses.contains("\\\\FS1\\VOL1\\many\\z")); // no row could come from there
    EXPECT_EQ(f->run.progress.directories, 2u); // many and many\a, none after the limit
    // A scan of the tree ends the same way.
    importFrom = builder.dir() + "/many.json";
    ASSERT_TRUE(TreeBuilder::ncduExport(root + "/many", importFrom));
    files("*", "\\\\FS1\\VOL1\\many");
    EXPECT_EQ(f->grid.rows() - 1, kFileRowLimit);
    EXPECT_EQ(f->host.messages, QStringList{"Please narrow your search, too many records returned"});
    EXPECT_EQ(f->run.progress.directories, 2u);
}

// The files of the scan ncdu writes of a tree give the rows a walk of it gives.
TEST_F(FileSearch, AnImportGivesTheRowsOfAWalkOfTheSameTree) {
    const QString top = root + "/sizes";
    TreeBuilder::file(top + "/a.txt", 10);
    TreeBuilder::file(top + "/B.TxT", 2 * 1048576);
    TreeBuilder::file(top + "/sub/c.doc", 700000);
    TreeBuilder::times(top + "/sub/c.doc", QDate(2001, 2, 3), QDate(2001, 2, 3));
    ASSERT_TRUE(TreeBuilder::dense(top + "/sub/dense.txt", 5000));
    ASSERT_EQ(::link(TreeBuilder::native(top + "/a.txt").constData(), TreeBuilder::native(top + "/sub/A2.txt").constData()), 0);
    ASSERT_EQ(::symlink("a.txt", TreeBuilder::native(top + "/link").constData()), 0);
    if (::geteuid() == 0) { // a uid no user has
        ASSERT_EQ(::chown(TreeBuilder::native(top + "/sub/c.doc").constData(), 4242, 4242), 0);
    }
    const QString scan = builder.dir() + "/sizes.json";
    ASSERT_TRUE(TreeBuilder::ncduExport(top, scan));
    const std::function<void()> searches[] = {[this] { files("*", "\\\\FS1\\VOL1\\sizes"); },
                                              [this] { files("*.TXT", "\\\\FS1\\VOL1\\sizes"); },
                                              [this] { bySize(">", "0.5"); }};
    QList<QStringList> walked;
    QList<double> totals;
    for (const auto& search : searches) {
        search();
        walked.append(rows());
        totals.append(f->run.sizeTotal);
    }
    TreeBuilder::file(top + "/sub/later.txt", 1048576); // not in the scan
    importFrom = scan;
    for (std::size_t i = 0; i < std::size(searches); ++i) {
        searches[i]();
        EXPECT_EQ(rows(), walked[qsizetype(i)]) << i;
        EXPECT_EQ(f->run.sizeTotal, totals[qsizetype(i)]) << i;
        EXPECT_TRUE(f->run.failure.isEmpty()) << f->run.failure.toStdString();
    }
    EXPECT_EQ(walked[0].size(), 6);
    // The blocks the dense file takes, as the walk's stat and ncdu's dsize both tell them.
    struct stat st {};
    ASSERT_EQ(::stat(TreeBuilder::native(top + "/sub/dense.txt").constData(), &st), 0);
    const QStringList dense = walked[0].filter("dense.txt");
    ASSERT_EQ(dense.size(), 1);
    EXPECT_TRUE(dense[0].contains(QString("|5000/%1/").arg(std::int64_t(st.st_blocks) * 512))) << dense[0].toStdString();
    EXPECT_GT(st.st_blocks, 0);
}

TEST_F(FileSearch, AScanWithoutOwnersOrTimesLeavesThoseCellsEmpty) {
    TreeBuilder::file(root + "/docs/a.txt", 1234);
    importFrom = builder.dir() + "/docs.json";
    ASSERT_TRUE(TreeBuilder::ncduExport(root + "/docs", importFrom, false));
    files("*");
    struct stat st {};
    ASSERT_EQ(::stat(TreeBuilder::native(root + "/docs/a.txt").constData(), &st), 0);
    EXPECT_EQ(rows(), QStringList{QString("|\\\\FS1\\VOL1\\docs|a.txt||          1,234|||1234/%1/-1")
                                      .arg(std::int64_t(st.st_blocks) * 512)});
    EXPECT_TRUE(f->run.failure.isEmpty()) << f->run.failure.toStdString();
}

TEST_F(FileSearch, AMissingStartDirectoryIsSaidAtOnceAndCancelsTheRun) {
    start(ReportKind::File, "\\\\FS1\\VOL1\\gone");
    btnShowUsage_Click(f->env);
    EXPECT_TRUE(f->host.questions.isEmpty()); // trying again cannot make it exist
    ASSERT_EQ(f->host.messages.size(), 1);
    EXPECT_TRUE(f->host.messages[0].contains("gone does not exist")) << f->host.messages[0].toStdString();
    EXPECT_EQ(f->grid.rows(), 1);
    EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Cancelled!");
}

TEST_F(FileSearch, AStartDirectoryThatCannotBeOpenedAsksAndUnattendedGivesUp) {
    TreeBuilder::file(root + "/locked/x.txt", 1);
    for (const QString& d : {builder.dir(), root})
        ::chmod(QFile::encodeName(d).constData(), 0755);
    ::chmod(QFile::encodeName(root + "/locked").constData(), 0311); // searchable, not listable
    start(ReportKind::File, "\\\\FS1\\VOL1\\locked");
    const UnprivilegedResult result = runUnprivileged([this] {
        btnShowUsage_Click(f->env);
        return (f->host.questions.join(";") + "#" + QString::number(f->grid.rows())).toUtf8();
    });
    ::chmod(QFile::encodeName(root + "/locked").constData(), 0755);
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    EXPECT_EQ(QString::fromUtf8(*result.output), "Error accessing volume, would you like to try Again?#1");
}

class DateSearch : public FileSearch {
protected:
    QStringList dated(DateOption basis, const QString& comparison, const QString& selected, const QString& end = {}) {
        start(ReportKind::Date, "\\\\FS1\\VOL1\\dated");
        f->search.dateOption = basis;
        f->search.cmbDate.text = comparison;
        f->search.txtSelectedDate = selected;
        f->search.txtEndDate = end;
        btnShowUsage_Click(f->env);
        return cells({3});
    }
    void SetUp() override {
        TreeBuilder::file(root + "/dated/old.txt", 100);
        TreeBuilder::times(root + "/dated/old.txt", QDate(2010, 5, 1), QDate(2024, 1, 10));
        TreeBuilder::file(root + "/dated/new.txt", 200);
        TreeBuilder::times(root + "/dated/new.txt", QDate(2020, 5, 1), QDate(2011, 1, 10));
    }
};

TEST_F(DateSearch, OlderNewerAndBetweenOnTheModifyDate) {
    EXPECT_EQ(dated(DateOption::optModifyDate, "Older than", "5/1/2020"), QStringList{"old.txt"});
    EXPECT_EQ(dated(DateOption::optModifyDate, "Newer than", "5/1/2010"), QStringList{"new.txt"});
    EXPECT_EQ(dated(DateOption::optModifyDate, "Between", "5/1/2020", "5/1/2010"),
              (QStringList{"new.txt", "old.txt"}));
    EXPECT_EQ(f->grid.cell(0, 4), "Modify Date");
    EXPECT_EQ(cells({4, 6}), (QStringList{"5/1/2020|            200", "5/1/2010|            100"}));
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 2    |    Total Size: 0.00 MB");
}

TEST_F(DateSearch, AccessDateBasis) {
    EXPECT_EQ(dated(DateOption::optAccessDate, "Older than", "1/1/2020"), QStringList{"new.txt"});
    EXPECT_EQ(f->grid.cell(0, 4), "Access Date");
    EXPECT_EQ(f->grid.cell(1, 4), "1/10/2011");
    EXPECT_EQ(f->grid.cell(1, 1), QString::number(QDate(1990, 1, 1).daysTo(QDate(2011, 1, 10))));
}

// A scan holds the modify dates (with -e), never the access or creation dates.
TEST_F(DateSearch, AnImportAnswersByTheModifyDatesItHolds) {
    const QString scan = builder.dir() + "/dated.json";
    ASSERT_TRUE(TreeBuilder::ncduExport(root + "/dated", scan));
    dated(DateOption::optModifyDate, "Between", "5/1/2020", "5/1/2010");
    const QStringList walked = rows();
    ASSERT_EQ(walked.size(), 2);
    TreeBuilder::file(root + "/dated/later.txt", 300); // not in the scan
    TreeBuilder::times(root + "/dated/later.txt", QDate(2015, 5, 1), QDate(2015, 5, 1));
    importFrom = scan;
    dated(DateOption::optModifyDate, "Between", "5/1/2020", "5/1/2010");
    EXPECT_EQ(rows(), walked);
    EXPECT_EQ(dated(DateOption::optAccessDate, "Older than", "1/1/2020"), QStringList{});
    EXPECT_EQ(f->run.failure, scan + " records no access dates, so a Date run cannot be answered from it");
    EXPECT_EQ(f->run.failureStatus, 1);
    ASSERT_TRUE(TreeBuilder::ncduExport(root + "/dated", scan, false));
    EXPECT_EQ(dated(DateOption::optModifyDate, "Older than", "1/1/2030"), QStringList{});
    EXPECT_EQ(f->run.failure, scan + " records no modification times (ncdu writes them with -e), so a Date run "
                                     "cannot be answered from it");
    EXPECT_EQ(f->run.failureStatus, 1);
}

TEST_F(FileSearch, AFileThatCannotBeReadEndsOnlyItsDirectorysListing) {
    TreeBuilder::file(root + "/docs/a/x.txt", 1);
    TreeBuilder::file(root + "/docs/b/y.txt", 1);
    TreeBuilder::file(root + "/docs/b/z.txt", 1);
    TreeBuilder::file(root + "/docs/c/w.txt", 1);
    // b can be listed but its files not looked at, as when they vanish between scan and read.
    for (const QString& d : {builder.dir(), root, root + "/docs", root + "/docs/a", root + "/docs/c"})
        ::chmod(QFile::encodeName(d).constData(), 0755);
    ::chmod(QFile::encodeName(root + "/docs/b").constData(), 0444);
    start(ReportKind::File, "\\\\FS1\\VOL1\\docs");
    const UnprivilegedResult result = runUnprivileged([this] {
        btnShowUsage_Click(f->env);
        return (cells({1, 2}).join(";") + "#" + QString::number(f->run.unreadableEntries)).toUtf8();
    });
    ::chmod(QFile::encodeName(root + "/docs/b").constData(), 0755);
    if (!result.output)
        GTEST_SKIP() << result.why.toStdString();
    const QStringList parts = QString::fromUtf8(*result.output).split('#');
    EXPECT_EQ(parts[0], "\\\\FS1\\VOL1\\docs\\a|x.txt;\\\\FS1\\VOL1\\docs\\c|w.txt");
    EXPECT_EQ(parts[1].toInt(), 2); // y and z, each counted once
}
