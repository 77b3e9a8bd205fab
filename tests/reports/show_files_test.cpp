#include "acme_site.h"
#include "report_fixture.h"

#include "reports/grid_layouts.h"
#include "reports/report_run.h"
#include "reports/show_files.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

#include <unistd.h>

namespace {

class ShowFiles : public ::testing::Test {
protected:
    ShowFiles() : f(acme.site()) {
        f.app.treeName = "ACME_TREE";
        vol1 = QFile::decodeName(acme.root("VOL1"));
        QDir().mkpath(vol1 + "/a/deep");
        QDir().mkpath(vol1 + "/b");
        write("a/one.dat", 1048576);
        write("a/deep/two.dat", 2 * 1048576);
        write("b/three.dat", 10);
        f.search.cmbServer.showOrAdd("FS1");
        f.search.cmbVolumeList.showOrAdd("VOL1");
    }
    void write(const QString& relative, qint64 size) {
        QFile file(vol1 + "/" + relative);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(size);
    }
    QStringList column(const QString& heading) const {
        const int col = f.grid.fcnFindColumn(heading);
        QStringList cells;
        for (qsizetype row = 1; row < f.grid.rows(); ++row)
            cells.append(f.grid.cell(row, col).trimmed());
        return cells;
    }
    // An Owner grid as the owner report leaves it, with one owner row.
    void ownerGrid(const QString& owner) {
        subInitializeGrid(f.grid, "Owner");
        f.grid.addRow({QString(), owner, "3.00"});
        f.run.resultsKind = "Owner";
        f.run.ownerColumn = 1;
        f.view.lblInformation = "\\\\FS1\\VOL1";
        f.app.ownerContext = "SALES.ACME"; // the owners of SALES were listed
        f.grid.Row = f.grid.RowSel = 1;
    }

    AcmeSite acme;
    ReportFixture f;
    QString vol1;
};

} // namespace

TEST_F(ShowFiles, ADirectoryRowOpensIntoItsFilesWithTheirTotal) {
    f.search.tabSearch = ReportKind::Directory;
    f.search.lblDirectory = "\\\\FS1\\VOL1";
    btnShowUsage_Click(f.env);
    ASSERT_EQ(f.run.resultsKind, "Directory");
    f.grid.Row = f.grid.RowSel = 1; // \\FS1\VOL1\a
    btnShowFiles_Click(f.env);
    EXPECT_EQ(f.run.resultsKind, "Files");
    EXPECT_EQ(column("File"), (QStringList{"one.dat", "two.dat"}));
    EXPECT_EQ(f.view.lblInfoLabel, "Directory ");
    EXPECT_EQ(f.view.lblInformation, "\\\\FS1\\VOL1\\a");
    EXPECT_EQ(f.view.lblGraphStats, "Total Results: 2    |    Total Size: 3.00 MB");
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Complete.");
    EXPECT_EQ(f.view.btnShowFilesCaption, "Show Files for Selected");
    EXPECT_FALSE(f.view.btnShowFilesEnabled);
    EXPECT_FALSE(f.view.controlsFrozen);
}

TEST_F(ShowFiles, FromTheDateTabTheDateFilterAppliesUnderItsOwnHeadings) {
    f.search.tabSearch = ReportKind::Directory;
    f.search.lblDirectory = "\\\\FS1\\VOL1";
    btnShowUsage_Click(f.env);
    f.search.tabSearch = ReportKind::Date; // shown when the button is pressed
    f.search.dateOption = DateOption::optModifyDate;
    f.search.cmbDate.text = "Older than";
    f.search.txtSelectedDate = "1/1/2000";
    f.grid.Row = f.grid.RowSel = 1;
    btnShowFiles_Click(f.env);
    EXPECT_NE(f.grid.fcnFindColumn("Modify Date"), ResultGrid::kNotFound);
    EXPECT_EQ(f.grid.rows(), 1); // every file is newer
    EXPECT_EQ(f.view.lblGraphStats, "Total Results: 0    |    Total Size: 0.00 MB");
}

TEST_F(ShowFiles, AnOwnerRowOpensIntoTheOwnersFilesOnTheWholeVolume) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "giving files to another owner needs root";
    ASSERT_EQ(::chown(QFile::encodeName(vol1 + "/a/deep/two.dat").constData(), 1001, 1001), 0);
    ownerGrid("JSMITH");
    btnShowFiles_Click(f.env);
    EXPECT_EQ(f.run.resultsKind, "Owner");
    EXPECT_EQ(column("File"), QStringList{"two.dat"});
    EXPECT_EQ(f.view.lblInfoLabel, "Files for owner ");
    EXPECT_EQ(f.view.lblInformation, "JSMITH");
    EXPECT_EQ(f.view.lblInformationTip, "John Smith");
    EXPECT_EQ(f.view.lblGraphStats, "Total Results: 1    |    Total Size: 2.00 MB");
}

TEST_F(ShowFiles, AnOwnerWhoOwnsNothingGivesNoResults) {
    ownerGrid("BJONES");
    btnShowFiles_Click(f.env);
    EXPECT_EQ(f.grid.rows(), 1);
    EXPECT_TRUE(f.view.lblGraphStats.startsWith("Total Results: 0    |")) << f.view.lblGraphStats.toStdString();
}

TEST_F(ShowFiles, StopWhileItRunsOnlySetsTheCancelFlag) {
    f.view.btnShowFilesCaption = "Stop";
    f.run.cancel = false;
    btnShowFiles_Click(f.env);
    EXPECT_TRUE(f.run.cancelled());
    EXPECT_TRUE(f.host.statuses.isEmpty());
}

TEST_F(ShowFiles, AVolumeRowOpensIntoItsDirectories) {
    subInitializeGrid(f.grid, "Volumes");
    f.grid.addRow({QString(), "FS1", "VOL1", "\\\\FS1\\VOL1", "1.00", "1.00", "0.00", "0.00", "1.00", "50"});
    f.run.resultsKind = "Volumes";
    f.grid.Row = f.grid.RowSel = 1;
    btnShowFiles_Click(f.env);
    EXPECT_EQ(f.run.resultsKind, "Directory");
    EXPECT_EQ(f.view.lblInfoLabel, "Volume ");
    EXPECT_EQ(f.view.lblInformation, "\\\\FS1\\VOL1");
    EXPECT_EQ(column("Directory"), (QStringList{"\\\\FS1\\VOL1\\", "\\\\FS1\\VOL1\\a", "\\\\FS1\\VOL1\\a\\deep",
                                          "\\\\FS1\\VOL1\\b"}));
    EXPECT_EQ(f.view.lblGraphStats, "Total Results: 4    |    Total Size: 3.00 MB");
}
