#include "report_fixture.h"

#include "reports/cell_format.h"
#include "reports/grid_layouts.h"
#include "reports/report_run.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

namespace {

SiteBuilder acme() {
    SiteBuilder b;
    b.tree("ACME_TREE").server("FS1", {"SYS", "VOL1"});
    return b;
}

double gigabytes(const QByteArray& root) {
    struct statvfs fs {};
    ::statvfs(root.constData(), &fs);
    return double(fs.f_blocks) * fs.f_frsize / 1048576.0 / 1024.0;
}

} // namespace

TEST(ReportRun, VolumeRunTotalsLeaveUnavailableRowsOut) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    f.app.treeName = "ACME_TREE";
    f.search.tabSearch = ReportKind::Volume;
    f.search.lstSelectedVolumes = {"\\\\FS1\\SYS", "\\\\FS1\\MISSING"};
    btnShowUsage_Click(f.env);

    const QString size = CellFormat::formatNumber(gigabytes(b.rootOf("FS1", "SYS")), "###,###,###,##0.00");
    EXPECT_TRUE(f.view.lblGraphStats.startsWith("Total Space: " + size + " GB   |   Used Space: "))
        << f.view.lblGraphStats.toStdString();
    EXPECT_TRUE(f.view.lblGraphStats.contains(" GB   |   Free Space: "));
    EXPECT_TRUE(f.view.lblGraphStats.endsWith(" GB"));
    // The unavailable row's reason is in the closing status.
    EXPECT_TRUE(QRegularExpression("^Process Complete\\. in [0-9]+\\.[0-9] s\\. Unavailable: \\\\\\\\FS1\\\\MISSING: .+\\.$")
                    .match(f.host.statuses.last())
                    .hasMatch())
        << f.host.statuses.last().toStdString();
    EXPECT_EQ(f.view.btnShowUsageCaption, "&Show Usage");
    EXPECT_FALSE(f.run.inProgress);
    EXPECT_FALSE(f.view.controlsFrozen);
    EXPECT_TRUE(f.view.btnRmvAllEnabled);
}

TEST(ReportRun, StopDuringARunOnlySetsTheCancelFlag) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    f.search.tabSearch = ReportKind::Volume;
    f.search.lstSelectedVolumes = {"\\\\FS1\\SYS", "\\\\FS1\\VOL1"};
    int clicksDuringRun = 0;
    f.host.onPoll = [&] {
        if (f.view.btnShowUsageCaption == "Stop" && f.grid.rows() == 2 && clicksDuringRun++ == 0)
            btnShowUsage_Click(f.env); // the user presses Stop
    };
    btnShowUsage_Click(f.env);
    EXPECT_EQ(clicksDuringRun, 1);
    EXPECT_EQ(f.grid.rows(), 2);
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Cancelled!");
    EXPECT_EQ(f.view.btnShowUsageCaption, "&Show Usage");
}

TEST(ReportRun, ContextIsOpenedOnTheTreeWithTypelessNamesAndFreed) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    f.app.treeName = "acme_tree";
    f.search.tabSearch = ReportKind::Volume;
    f.search.lstSelectedVolumes = {"\\\\FS1\\SYS"};
    NWDSContextHandle seen = 0;
    QString tree, nameContext;
    std::uint32_t flags = 0;
    f.host.onPoll = [&] {
        if (seen != 0)
            return;
        // The run's context is the newest one; look at it while the run is on.
        for (NWDSContextHandle h = 1; h < 10; ++h) {
            if (f.client.NWDSGetContext(h, nw::DCK_TREE_NAME, tree) == 0) {
                seen = h;
                f.client.NWDSGetContext(h, nw::DCK_FLAGS, flags);
                f.client.NWDSGetContext(h, nw::DCK_NAME_CONTEXT, nameContext);
            }
        }
    };
    btnShowUsage_Click(f.env);
    ASSERT_NE(seen, 0u);
    EXPECT_EQ(tree, "ACME_TREE");
    EXPECT_TRUE(flags & nw::DCV_TYPELESS_NAMES);
    EXPECT_EQ(nameContext, "[Root]");
    EXPECT_NE(f.client.NWDSGetContext(seen, nw::DCK_TREE_NAME, tree), 0); // freed at the end
}

TEST(ReportRun, OwnerRunWithNoRowsShowsZeroTotals) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    f.search.cmbServer.showOrAdd("FS9"); // no such server: nothing is in use
    f.search.cmbVolumeList.showOrAdd("SYS");
    btnShowUsage_Click(f.env);
    EXPECT_EQ(f.view.lblGraphStats, "Total Results: 0    |    Total Size: 0.00 MB");
    EXPECT_EQ(f.view.lblInformation, "\\\\FS9\\SYS");
    EXPECT_EQ(f.run.resultsKind, "Owner");
    EXPECT_EQ(f.run.ownerColumn, 1);
    EXPECT_EQ(f.grid.rows(), 1);
}

TEST(ReportRun, DirectoryRunShowsItsStartDirectory) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    f.search.tabSearch = ReportKind::Directory;
    f.search.subDirOption = SubDirOption::optAllSubDirs;
    f.search.lblDirectory = "\\\\FS1\\SYS\\USERS";
    btnShowUsage_Click(f.env);
    EXPECT_EQ(f.view.lblInfoLabel, "Start Directory");
    EXPECT_EQ(f.view.lblInformationTip, "\\\\FS1\\SYS\\USERS");
    EXPECT_EQ(f.run.resultsKind, "Directory");
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Cancelled!"); // USERS does not exist
}

TEST(FreeDrive, HighestFreeDriveFirstAnd99WhenAllAreTaken) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    EXPECT_EQ(fcnFindFreeDrive(f.env), 26);
    NWCONN_HANDLE conn = 0;
    ASSERT_EQ(f.client.NWAttachToFileServer("FS1", 0, conn), 0);
    f.client.NWSetDriveBase(26, conn, 0, "SYS:\\", 0);
    EXPECT_EQ(fcnFindFreeDrive(f.env), 25);
    for (int drive = 2; drive <= 25; ++drive)
        f.client.NWSetDriveBase(std::uint16_t(drive), conn, 0, "SYS:\\", 0);
    EXPECT_EQ(fcnFindFreeDrive(f.env), 99);
    ASSERT_EQ(f.host.messages.size(), 1);
    EXPECT_EQ(f.host.messages[0], "There are no free drive letters, please release a drive and try again.");
    f.client.NWDeleteDriveBase(7, 0);
    EXPECT_EQ(fcnFindFreeDrive(f.env), 7);
}

TEST(FreeDrive, FileRunWithoutAFreeDriveIsCancelledAndLeavesTheGrid) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    subInitializeGrid(f.grid, "Directory");
    f.grid.addRow({"", "\\\\FS1\\SYS\\A", "       1.00"});
    NWCONN_HANDLE conn = 0;
    f.client.NWAttachToFileServer("FS1", 0, conn);
    for (int drive = 2; drive <= 26; ++drive)
        f.client.NWSetDriveBase(std::uint16_t(drive), conn, 0, "SYS:\\", 0);
    f.search.tabSearch = ReportKind::File;
    btnShowUsage_Click(f.env);
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Cancelled!");
    EXPECT_EQ(f.grid.rows(), 2);
    EXPECT_EQ(f.grid.cell(1, 1), "\\\\FS1\\SYS\\A");
}

TEST(FreeDrive, FileRunReleasesTheDriveItTook) {
    SiteBuilder b = acme();
    ReportFixture f(b.site());
    f.search.tabSearch = ReportKind::File;
    f.search.cmbServer.showOrAdd("FS1");
    f.search.cmbVolumeList.showOrAdd("SYS");
    btnShowUsage_Click(f.env);
    EXPECT_EQ(fcnFindFreeDrive(f.env), 26);
}

TEST(SumColumn, AddsOnlyNumericCells) {
    ResultGrid grid;
    subInitializeGrid(grid, "Owner");
    grid.addRow({"", "A", "       1,024.50"});
    grid.addRow({"", "B", "Unavailable"});
    grid.addRow({"", "C", "0.50"});
    EXPECT_DOUBLE_EQ(fcnSumColumn(grid, 2), 1025.0);
}

TEST(ShowUsageEnable, FollowsTheSelectedTabsRules) {
    SearchSettings s = SearchSettings::withDefaults(CellFormat::shortDate(QDate(2026, 12, 7)));
    EXPECT_FALSE(s.subbtnShowUsageEnable()); // Owner, no volumes
    s.cmbVolumeList.showOrAdd("SYS");
    EXPECT_TRUE(s.subbtnShowUsageEnable());
    s.ownerOption = OwnerOption::optGroup;
    EXPECT_FALSE(s.subbtnShowUsageEnable());
    s.cmbGroup.showOrAdd("STAFF");
    EXPECT_TRUE(s.subbtnShowUsageEnable());

    s.tabSearch = ReportKind::Volume;
    EXPECT_FALSE(s.subbtnShowUsageEnable());
    s.lstSelectedVolumes = {"\\\\FS1\\SYS"};
    EXPECT_TRUE(s.subbtnShowUsageEnable());

    s.tabSearch = ReportKind::File;
    s.txtFileType.clear();
    EXPECT_FALSE(s.subbtnShowUsageEnable());
    s.fileOption = FileOption::optFileSize;
    EXPECT_TRUE(s.subbtnShowUsageEnable());
    s.txtSearchSize.clear();
    EXPECT_FALSE(s.subbtnShowUsageEnable());

    s.tabSearch = ReportKind::Date;
    EXPECT_TRUE(s.subbtnShowUsageEnable());
    s.cmbDate.text = "Between";
    s.txtEndDate.clear();
    EXPECT_FALSE(s.subbtnShowUsageEnable());
}

TEST(SearchDefaults, PanelOpensWithItsDefaults) {
    const SearchSettings s = SearchSettings::withDefaults(CellFormat::shortDate(QDate(2026, 12, 7)));
    EXPECT_EQ(s.cmbSizeLimit.entries, (QStringList{"<", ">", "="}));
    EXPECT_EQ(s.cmbSizeLimit.text, ">");
    EXPECT_EQ(s.txtSearchSize, "0");
    EXPECT_EQ(s.txtFileType, "*");
    EXPECT_EQ(s.cmbDate.text, "Older than");
    EXPECT_EQ(s.txtSelectedDate, "12/7/2026");
    EXPECT_EQ(s.txtEndDate, "12/7/2026");
    EXPECT_EQ(s.ownerOption, OwnerOption::optAllOwners);
    EXPECT_TRUE(s.chkSubContainers);
}
