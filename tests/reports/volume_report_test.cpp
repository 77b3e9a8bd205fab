#include "report_fixture.h"

#include "reports/cell_format.h"
#include "reports/report_run.h"
#include "reports/volume_report.h"

#include <gtest/gtest.h>

#include <sys/statvfs.h>

namespace {

SiteBuilder twoServers() {
    SiteBuilder b;
    b.tree("ACME_TREE").server("FS1", {"SYS", "VOL1"}).server("FS2", {"DATA"});
    return b;
}

} // namespace

TEST(VolumeRowCells, EightSectorsPerBlockExample) {
    DIR_SPACE_INFO info;
    info.sectorsPerBlock = 8;
    info.totalBlocks = 1000000;
    info.availableBlocks = 250000;
    const QStringList cells = fcnVolumeRowCells("\\\\FS1\\SYS", info);
    ASSERT_EQ(cells.size(), 10);
    EXPECT_EQ(cells[3], "\\\\FS1\\SYS");
    EXPECT_EQ(cells[4], "       3,906.25");
    EXPECT_EQ(cells[5], "       2,929.69");
    EXPECT_EQ(cells[6], "           0.00");
    EXPECT_EQ(cells[8], "         976.56");
    EXPECT_EQ(cells[9], " 25%");
    EXPECT_EQ(cells[0], "3906.25");
    EXPECT_EQ(cells[1], "976.5625");
    EXPECT_EQ(cells[2], "2929.6875");
}

TEST(VolumeRowCells, ZeroBlocksLeavesPercentFreeEmpty) {
    DIR_SPACE_INFO info;
    info.sectorsPerBlock = 8;
    const QStringList cells = fcnVolumeRowCells("\\\\FS1\\EMPTY", info);
    EXPECT_EQ(cells[9], "");
    EXPECT_EQ(cells[4], "           0.00");
    EXPECT_EQ(cells[8], "           0.00");
}

TEST(VolumeRowCells, PurgeableSpaceIsNotUsedSpace) {
    DIR_SPACE_INFO info;
    info.sectorsPerBlock = 8; // 4096-byte blocks
    info.totalBlocks = 2560;  // 10 MB
    info.availableBlocks = 512;
    info.purgeableBlocks = 256;
    info.notYetPurgeableBlocks = 768;
    const QStringList cells = fcnVolumeRowCells("\\\\FS1\\SYS", info);
    EXPECT_EQ(cells[5].trimmed(), "7.00");
    EXPECT_EQ(cells[6].trimmed(), "1.00");
    EXPECT_EQ(cells[7].trimmed(), "3.00");
    EXPECT_EQ(cells[9], " 20%");
}

TEST(VolumeRowCells, BlockCountsBeyond32BitsAreNotWrapped) {
    DIR_SPACE_INFO info;
    info.sectorsPerBlock = 8;
    info.totalBlocks = 5000000000ULL; // about 18.6 TiB
    info.availableBlocks = 3000000000ULL;
    const QStringList cells = fcnVolumeRowCells("\\\\BIG\\VOL", info);
    EXPECT_EQ(cells[4].trimmed(), "19,531,250.00");
    EXPECT_EQ(cells[9], " 60%");
}

TEST(VolumeReport, FiguresMatchStatvfsOfTheVolumeRoot) {
    SiteBuilder b = twoServers();
    ReportFixture f(b.site());
    f.search.lstSelectedVolumes = {"\\\\FS1\\SYS", "\\\\FS2\\DATA"};
    subGetVolumeUsage(f.env);

    struct statvfs fs {};
    ASSERT_EQ(::statvfs(b.rootOf("FS2", "DATA").constData(), &fs), 0);
    const double mb = 1048576.0;
    ASSERT_EQ(f.grid.rows(), 3);
    EXPECT_EQ(f.grid.cell(2, 3), "\\\\FS2\\DATA");
    // Free space may move a little while the test runs; size may not.
    EXPECT_DOUBLE_EQ(f.grid.cell(2, 0).toDouble(), double(fs.f_blocks) * fs.f_frsize / mb);
    EXPECT_EQ(f.grid.cell(2, 4), CellFormat::padLeft(CellFormat::formatNumber(
                                     double(fs.f_blocks) * fs.f_frsize / mb, "###,###,###,##0.00")));
    EXPECT_NEAR(*CellFormat::numberValue(f.grid.cell(2, 8)), double(fs.f_bavail) * fs.f_frsize / mb, 64.0);
    EXPECT_EQ(f.run.resultsKind, "Volumes");
    EXPECT_EQ(f.view.lblInfoLabel, "Volume List");
    EXPECT_EQ(f.view.btnShowFilesCaption, "Show Directories for selected");
    EXPECT_TRUE(f.host.statuses.contains("Gathering stats for \\\\FS1\\SYS"));
    EXPECT_EQ(f.host.statuses.last(), "Process Complete.");
    EXPECT_GT(f.run.freeSpaceTotal, 0);
}

TEST(VolumeReport, UnreachableVolumesGiveUnavailableRows) {
    SiteBuilder b = twoServers();
    b.volumeAt("FS2", "GONE", QFile::encodeName(b.dir() + "/removed-after-start"));
    ReportFixture f(b.site());
    f.search.lstSelectedVolumes = {"\\\\FS2\\GONE", "\\\\FS9\\SYS", "\\\\FS1\\NOPE", "", "\\\\FS1\\SYS"};
    subGetVolumeUsage(f.env);
    ASSERT_EQ(f.grid.rows(), 6);
    for (int row = 1; row <= 4; ++row) {
        EXPECT_EQ(f.grid.cell(row, 4), "Unavailable") << row;
        EXPECT_EQ(f.grid.cell(row, 0), "Unavailable") << row;
        EXPECT_EQ(f.grid.cell(row, 9), "N/A") << row;
    }
    EXPECT_EQ(f.grid.cell(1, 3), "\\\\FS2\\GONE");
    EXPECT_TRUE(CellFormat::isNumber(f.grid.cell(5, 4)));
}

TEST(VolumeReport, CancelBetweenVolumesKeepsTheRowsWritten) {
    SiteBuilder b = twoServers();
    ReportFixture f(b.site());
    f.search.lstSelectedVolumes = {"\\\\FS1\\SYS", "\\\\FS1\\VOL1", "\\\\FS2\\DATA"};
    f.host.onPoll = [&] {
        if (f.grid.rows() == 2)
            f.run.cancel = true;
    };
    subGetVolumeUsage(f.env);
    EXPECT_EQ(f.grid.rows(), 2);
    EXPECT_EQ(f.grid.cell(1, 3), "\\\\FS1\\SYS");
    EXPECT_EQ(f.host.statuses.last(), "Process Complete.");
    EXPECT_FALSE(f.view.controlsFrozen);
}

TEST(VolumeReport, EmptyListGivesAnEmptyGrid) {
    SiteBuilder b = twoServers();
    ReportFixture f(b.site());
    subGetVolumeUsage(f.env);
    EXPECT_EQ(f.grid.rows(), 1);
    EXPECT_EQ(f.grid.cell(0, 3), "Volume");
    EXPECT_EQ(f.host.statuses.last(), "Process Complete.");
}
