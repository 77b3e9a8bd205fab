#include "report_fixture.h"

#include "reports/cell_format.h"
#include "reports/report_run.h"
#include "reports/volume_report.h"

#include "scoped_ext4_image.h"
#include "scoped_locale.h"
#include "scoped_tmpfs.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/statvfs.h>

#include <memory>
#include <optional>
#include <sstream>

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
    info.freeBlocks = info.availableBlocks = 250000;
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
    info.freeBlocks = info.availableBlocks = 512;
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
    info.freeBlocks = info.availableBlocks = 3000000000ULL;
    const QStringList cells = fcnVolumeRowCells("\\\\BIG\\VOL", info);
    EXPECT_EQ(cells[4].trimmed(), "19,531,250.00");
    EXPECT_EQ(cells[9], " 60%");
}

TEST(VolumeRowCells, BlocksKeptForRootAreNeitherUsedNorFree) {
    DIR_SPACE_INFO info;
    info.sectorsPerBlock = 8; // 4096-byte blocks
    info.totalBlocks = 2560;  // 10 MB
    info.freeBlocks = 1280;   // 5 MB not in use...
    info.availableBlocks = 1024; // ...of which 1 MB is kept for root
    const QStringList cells = fcnVolumeRowCells("\\\\FS1\\SYS", info);
    EXPECT_EQ(cells[4].trimmed(), "10.00");
    EXPECT_EQ(cells[5].trimmed(), "5.00");
    EXPECT_EQ(cells[8].trimmed(), "4.00");
    EXPECT_EQ(cells[9], " 44%"); // 4 of the 9 MB users can have
    EXPECT_EQ(cells[0], "10");
    EXPECT_EQ(cells[1], "4");
    EXPECT_EQ(cells[2], "5");
}

TEST(VolumeRowCells, GermanFiguresGroupWithPointsAndDecimalsWithCommas) {
    const ScopedLocale german(ScopedLocale::german());
    DIR_SPACE_INFO info;
    info.sectorsPerBlock = 8;
    info.totalBlocks = 1000000;
    info.freeBlocks = 300000;
    info.availableBlocks = 250000;
    const QStringList cells = fcnVolumeRowCells("\\\\FS1\\SYS", info);
    EXPECT_EQ(cells[4], "       3.906,25");
    EXPECT_EQ(cells[5], "       2.734,38");
    EXPECT_EQ(cells[8], "         976,56");
    EXPECT_EQ(cells[9], " 26%");
    EXPECT_EQ(cells[2], "2734.375"); // sort keys stay plain
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
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Complete.");
    EXPECT_GT(f.run.freeSpaceTotal, 0);
    // Both volumes are folders of one file system: it is counted once, and the line says so.
    const QString oneDisk = CellFormat::formatNumber(double(fs.f_blocks) * fs.f_frsize / mb / 1024, "###,###,###,##0.00");
    EXPECT_TRUE(f.view.lblGraphStats.startsWith("Total Space: " + oneDisk + " GB   |   Used Space: "))
        << f.view.lblGraphStats.toStdString();
    EXPECT_TRUE(f.view.lblGraphStats.endsWith("(each file system counted once: 1 of the volumes share one with another)"))
        << f.view.lblGraphStats.toStdString();
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

// The window keeps one client for its whole life: a disk unmounted meanwhile
// must not pass the folder beneath it off as the volume.
TEST(VolumeReport, AMountPointVolumeIsUnavailableOnceItsDiskIsUnmounted) {
    SiteBuilder b;
    const QByteArray folder = QFile::encodeName(b.dir() + "/scratch");
    ASSERT_TRUE(QDir().mkpath(b.dir() + "/scratch"));
    Site site = b.tree("ACME_TREE").site();
    site.servers.append({"FS1", {{"SCRATCH", folder, true}}});
    std::optional<ScopedTmpfs> disk(std::in_place, folder, "4m");
    if (!disk->mounted())
        GTEST_SKIP() << disk->why().toStdString();
    ReportFixture f(site);
    f.search.tabSearch = ReportKind::Volume;
    f.search.lstSelectedVolumes = {"\\\\FS1\\SCRATCH"};
    btnShowUsage_Click(f.env);
    ASSERT_EQ(f.grid.rows(), 2);
    EXPECT_EQ(f.grid.cell(1, 4).trimmed(), "4.00");

    disk.reset();
    btnShowUsage_Click(f.env);
    ASSERT_EQ(f.grid.rows(), 2);
    EXPECT_EQ(f.grid.cell(1, 0), "Unavailable");
    EXPECT_EQ(f.grid.cell(1, 4), "Unavailable");

    f.search.tabSearch = ReportKind::Directory;
    f.search.cmbServer.showOrAdd("FS1");
    f.search.cmbVolumeList.showOrAdd("SCRATCH");
    f.search.lblDirectory = "\\\\FS1\\SCRATCH";
    btnShowUsage_Click(f.env);
    EXPECT_EQ(f.grid.rows(), 1);
    EXPECT_TRUE(f.host.messages.contains("Unable to access the start directory: \\\\FS1\\SCRATCH is not mounted "
                                         "(nothing is mounted on " + QFile::decodeName(folder) + ")"))
        << f.host.messages.join('\n').toStdString();
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
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Complete.");
    EXPECT_FALSE(f.view.controlsFrozen);
}

TEST(VolumeReport, EmptyListGivesAnEmptyGrid) {
    SiteBuilder b = twoServers();
    ReportFixture f(b.site());
    subGetVolumeUsage(f.env);
    EXPECT_EQ(f.grid.rows(), 1);
    EXPECT_EQ(f.grid.cell(0, 3), "Volume");
    EXPECT_EQ(outcomeOf(f.host.statuses.last()), "Process Complete.");
}

namespace {

// Bytes of a file system: its size, what is in use and what users may still fill.
struct SpaceFigures {
    quint64 size = 0;
    quint64 used = 0;
    quint64 available = 0;
    bool operator==(const SpaceFigures&) const = default;
};

// What df -B1 shows of the file system holding path; null when df cannot say.
std::optional<SpaceFigures> dfOf(const QByteArray& path) {
    QProcess df;
    df.start("df", {"-B1", "--output=size,used,avail", QFile::decodeName(path)});
    if (!df.waitForFinished(60000) || df.exitCode() != 0)
        return std::nullopt;
    const QStringList lines = QString::fromLocal8Bit(df.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    const QStringList fields = lines.value(1).simplified().split(' ');
    if (lines.size() != 2 || fields.size() != 3)
        return std::nullopt;
    return SpaceFigures{fields[0].toULongLong(), fields[1].toULongLong(), fields[2].toULongLong()};
}

SpaceFigures statvfsOf(const QByteArray& path) {
    struct statvfs fs {};
    EXPECT_EQ(::statvfs(path.constData(), &fs), 0);
    return {quint64(fs.f_blocks) * fs.f_frsize, quint64(fs.f_blocks - fs.f_bfree) * fs.f_frsize,
            quint64(fs.f_bavail) * fs.f_frsize};
}

QString megabytesCell(quint64 bytes) {
    return CellFormat::padLeft(CellFormat::formatNumber(double(bytes) / 1048576.0, "###,###,###,##0.00"));
}

// A figure of the totals line, in GB.
double totalsFigure(const QString& line, const QString& name) {
    const QRegularExpressionMatch match = QRegularExpression(name + ": (\\S+) GB").match(line);
    return CellFormat::numberValue(match.captured(1)).value_or(-1);
}

enum class FileSystem { Tmpfs, Ext4KeepingBlocksForRoot, Root };

void PrintTo(FileSystem fs, std::ostream* out) {
    *out << (fs == FileSystem::Tmpfs ? "Tmpfs" : fs == FileSystem::Root ? "Root" : "Ext4KeepingBlocksForRoot");
}

// The Volume run on a real mounted file system, its figures read against
// statvfs and against what df prints.
class VolumeFiguresLikeDf : public ::testing::TestWithParam<FileSystem> {
protected:
    void SetUp() override {
        const QByteArray mountPoint = QFile::encodeName(dir.path() + "/mnt");
        QDir().mkpath(dir.path() + "/mnt");
        switch (GetParam()) {
        case FileSystem::Tmpfs:
            tmpfs = std::make_unique<ScopedTmpfs>(mountPoint);
            if (!tmpfs->mounted())
                GTEST_SKIP() << tmpfs->why().toStdString();
            break;
        case FileSystem::Ext4KeepingBlocksForRoot:
            ext4 = std::make_unique<ScopedExt4Image>(dir.path() + "/fs.img", mountPoint, 40);
            if (!ext4->mounted())
                GTEST_SKIP() << ext4->why().toStdString();
            break;
        case FileSystem::Root: root = "/"; return;
        }
        root = mountPoint;
    }

    QTemporaryDir dir;
    std::unique_ptr<ScopedTmpfs> tmpfs;
    std::unique_ptr<ScopedExt4Image> ext4;
    QByteArray root;
};

} // namespace

TEST_P(VolumeFiguresLikeDf, EachColumnMatchesDfAndStatvfs) {
    SiteBuilder b;
    b.volumeAt("FS1", "VOL", root);
    // A busy file system (other programs write to /) is tried again until it
    // holds still while the report reads it.
    for (int attempt = 0; attempt < 20; ++attempt) {
        ReportFixture f(b.site());
        f.search.tabSearch = ReportKind::Volume;
        f.search.lstSelectedVolumes = {"\\\\FS1\\VOL"};
        const SpaceFigures before = statvfsOf(root);
        const std::optional<SpaceFigures> df = dfOf(root);
        btnShowUsage_Click(f.env);
        if (statvfsOf(root) != before)
            continue;
        ASSERT_TRUE(df) << "df -B1 could not be read";
        ASSERT_EQ(*df, before) << "df and statvfs disagree; the test cannot judge";
        if (GetParam() == FileSystem::Ext4KeepingBlocksForRoot) {
            ASSERT_LT(df->used + df->available, df->size) << "the image keeps no blocks for root";
        }

        ASSERT_EQ(f.grid.rows(), 2);
        EXPECT_EQ(f.grid.cell(1, 4), megabytesCell(df->size));
        EXPECT_EQ(f.grid.cell(1, 5), megabytesCell(df->used));
        EXPECT_EQ(f.grid.cell(1, 8), megabytesCell(df->available));
        EXPECT_EQ(f.grid.cell(1, 0), CellFormat::plainNumber(double(df->size) / 1048576.0));
        EXPECT_EQ(f.grid.cell(1, 1), CellFormat::plainNumber(double(df->available) / 1048576.0));
        EXPECT_EQ(f.grid.cell(1, 2), CellFormat::plainNumber(double(df->used) / 1048576.0));
        const double percentFree = 100.0 * double(df->available) / double(df->used + df->available);
        EXPECT_EQ(f.grid.cell(1, 9), CellFormat::padLeft(CellFormat::formatNumber(percentFree, "#0"), 3) + "%");

        const double gigabyte = 1073741824.0;
        EXPECT_NEAR(totalsFigure(f.view.lblGraphStats, "Total Space"), double(df->size) / gigabyte, 0.0051);
        EXPECT_NEAR(totalsFigure(f.view.lblGraphStats, "Used Space"), double(df->used) / gigabyte, 0.0051);
        EXPECT_NEAR(totalsFigure(f.view.lblGraphStats, "Free Space"), double(df->available) / gigabyte, 0.0051);
        return;
    }
    GTEST_SKIP() << "the file system kept changing while the report read it";
}

INSTANTIATE_TEST_SUITE_P(MountedFileSystems, VolumeFiguresLikeDf,
                         ::testing::Values(FileSystem::Tmpfs, FileSystem::Ext4KeepingBlocksForRoot, FileSystem::Root),
                         [](const ::testing::TestParamInfo<FileSystem>& info) {
                             std::ostringstream name;
                             PrintTo(info.param, &name);
                             return name.str();
                         });
