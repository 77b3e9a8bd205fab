#include "report_fixture.h"
#include "tree_builder.h"

#include "reports/directory_report.h"
#include "reports/report_run.h"

#include <gtest/gtest.h>

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
    EXPECT_EQ(run("\\\\FS1\\VOL1\\USERS\\D", SubDirOption::optAllSubDirs), QStringList{"\\\\FS1\\VOL1\\USERS\\D|1.00"});
    EXPECT_EQ(run("\\\\FS1\\VOL1\\USERS", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\USERS\\d|1.01"});
    EXPECT_EQ(f->grid.cell(1, 0), "0");
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 1    |    Total Size: 1.01 MB");
}

TEST_F(DirectoryReports, ImmediateSizesCountEverythingBelow) {
    TreeBuilder::file(root + "/top/a/x.dat", 3 * 1048576);
    TreeBuilder::file(root + "/top/a/deep/y.dat", 1048576);
    TreeBuilder::file(root + "/top/B/z.dat", 2 * 1048576);
    TreeBuilder::file(root + "/top/own.dat", 5 * 1048576); // the start's own files are no row
    EXPECT_EQ(run("\\\\FS1\\VOL1\\TOP", SubDirOption::optImmediateSubDirs),
              (QStringList{"\\\\FS1\\VOL1\\TOP\\a|4.01", "\\\\FS1\\VOL1\\TOP\\B|2.01"}));
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
    EXPECT_EQ(run("\\\\FS1\\VOL1\\EMPTY", SubDirOption::optAllSubDirs), QStringList{"\\\\FS1\\VOL1\\EMPTY|0.00"});
}

TEST_F(DirectoryReports, TheVolumeRootAsStart) {
    TreeBuilder::file(root + "/one/f.dat", 1048576);
    EXPECT_EQ(run("\\\\FS1\\VOL1\\", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\one|1.01"});
    EXPECT_EQ(run("\\\\FS1\\VOL1", SubDirOption::optAllSubDirs),
              (QStringList{"\\\\FS1\\VOL1|0.00", "\\\\FS1\\VOL1\\one|1.00"}));
}

TEST_F(DirectoryReports, CancelRemovesTheRowBeingMeasured) {
    for (const char* d : {"a", "b", "c"})
        TreeBuilder::file(root + "/t/" + d + "/f.dat", 1048576);
    onPoll = [](ReportFixture& fx) {
        const qsizetype last = fx.grid.rows() - 1;
        if (fx.grid.cell(last, 1).endsWith("\\b") && fx.grid.cell(last, 2) == "Calculating..")
            fx.run.cancel = true;
    };
    EXPECT_EQ(run("\\\\FS1\\VOL1\\t", SubDirOption::optImmediateSubDirs), QStringList{"\\\\FS1\\VOL1\\t\\a|1.01"});
    EXPECT_EQ(f->host.statuses.last(), "Process Cancelled!");
}

TEST_F(DirectoryReports, AStartDirectoryThatIsMissingSaysSo) {
    EXPECT_EQ(run("\\\\FS1\\VOL1\\NOPE", SubDirOption::optAllSubDirs), QStringList{});
    ASSERT_EQ(f->host.messages.size(), 1);
    EXPECT_TRUE(f->host.messages[0].startsWith("Unable to access \\\\FS1\\VOL1\\NOPE"));
    EXPECT_EQ(f->host.statuses.last(), "Process Cancelled!");
}
