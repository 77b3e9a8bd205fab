#include "du_figure.h"
#include "report_fixture.h"
#include "scoped_bind_mount.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"
#include "unprivileged_run.h"

#include "reports/directory_report.h"
#include "reports/report_run.h"

#include <gtest/gtest.h>

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
        if (onPoll)
            f->host.onPoll = [this] { onPoll(*f); };
        btnShowUsage_Click(f->env);
        QStringList rows;
        for (qsizetype row = 1; row < f->grid.rows(); ++row)
            rows.append(f->grid.cell(row, 1) + "|" + f->grid.cell(row, 2).trimmed());
        return rows;
    }

    SiteBuilder builder;
    QString root;
    std::unique_ptr<ReportFixture> f;
    std::function<void(ReportFixture&)> onPoll;
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
    EXPECT_EQ(run("\\\\FS1\\VOL1\\t", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\t\\a|1.00"});
    EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Cancelled!");
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
    TreeBuilder::file(root + "/top/a/f", 1048576);
    TreeBuilder::file(root + "/top/a/private/secret", 1048576);
    for (const QString& d : {builder.dir(), root, root + "/top", root + "/top/a"})
        ::chmod(QFile::encodeName(d).constData(), 0755);
    ::chmod(QFile::encodeName(root + "/top/a/private").constData(), 0700);
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
