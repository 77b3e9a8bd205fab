#include "acme_site.h"
#include "report_fixture.h"
#include "tree_builder.h"

#include "reports/cell_format.h"
#include "reports/owner_report.h"
#include "reports/report_run.h"

#include <QDirIterator>
#include <QFile>

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

const QString kOwnerFigures =
    " Owner figures are the space the files take on the disk, as du counts it; Show Files lists their lengths.";

namespace {

void writeFile(const QString& path, qint64 bytes, uid_t owner) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(QByteArray(bytes, 'x'));
    file.close();
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner, owner), 0);
}

// Allocated 4096-byte blocks per uid, counted here without the program's walk.
QHash<uid_t, quint64> blocksByUid(const QByteArray& root) {
    QHash<uid_t, quint64> bytes;
    struct stat st {};
    ::lstat(root.constData(), &st);
    bytes[st.st_uid] += quint64(st.st_blocks) * 512;
    QDirIterator it(QFile::decodeName(root), QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        ::lstat(QFile::encodeName(it.next()).constData(), &st);
        bytes[st.st_uid] += quint64(st.st_blocks) * 512;
    }
    QHash<uid_t, quint64> blocks;
    for (auto i = bytes.constBegin(); i != bytes.constEnd(); ++i)
        blocks[i.key()] = (i.value() + 4095) / 4096;
    return blocks;
}

QString mb(quint64 blocks) {
    return CellFormat::formatNumber(double(blocks) * 4096 / 1048576, "0.00");
}

class OwnerReports : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "owners need chown, which needs root";
        const QString sys = QFile::decodeName(acme.root("SYS"));
        QDir().mkpath(sys + "/home/jsmith");
        writeFile(sys + "/home/jsmith/report.dat", 1048576, 1001);
        writeFile(sys + "/home/bjones.txt", 1, 1002);
        writeFile(sys + "/orphan.bin", 2 * 1048576, 4242);
        expected = blocksByUid(acme.root("SYS"));
        useSite(acme.site());
    }

    // A fresh fixture on the site, searching from ACME.
    void useSite(const Site& site) {
        f = std::make_unique<ReportFixture>(site);
        f->app.treeName = "ACME_TREE";
        f->search.lblStartContainer = "ACME_TREE\\ACME";
        NWDSContextHandle ctx = 0;
        f->client.NWDSCreateContextHandle(ctx);
        f->run.dsContext = ctx;
        f->grid.reset(3);
    }

    // Each row's files figure.
    QList<std::int64_t> files() const {
        QList<std::int64_t> figures;
        for (qsizetype row = 1; row < f->grid.rows(); ++row)
            figures.append(f->grid.figures(row).files);
        return figures;
    }

    QStringList column(int col) const {
        QStringList cells;
        for (qsizetype row = 1; row < f->grid.rows(); ++row)
            cells.append(f->grid.cell(row, col));
        return cells;
    }

    AcmeSite acme;
    QHash<uid_t, quint64> expected;
    std::unique_ptr<ReportFixture> f;
};

} // namespace

TEST_F(OwnerReports, AllOwnersWithSubContainersMatchesAnIndependentCount) {
    subGetOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(column(1), (QStringList{"[Supervisor]", "[No Owner]", "JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    EXPECT_EQ(column(2), (QStringList{CellFormat::padLeft(mb(expected[0])), CellFormat::padLeft(mb(expected[4242])),
                                      CellFormat::padLeft(mb(expected[1001])),
                                      CellFormat::padLeft(mb(expected[1002]))}));
    if (expected[1001] == 256) { // 1 MiB of data takes exactly 256 blocks on this file system
        EXPECT_EQ(f->grid.cell(3, 2), "           1.00");
    }
    EXPECT_EQ(expected[1002], 1u);
    EXPECT_EQ(f->grid.cell(4, 2), "           0.00");
    EXPECT_EQ(f->run.rowCounter, 5);
    EXPECT_EQ(f->app.ownerContext, "ACME_TREE\\ACME");
    // The total adds the exact figures: BJONES's block counts, though its cell shows 0.00.
    const quint64 all = expected[0] + expected[4242] + expected[1001] + expected[1002];
    EXPECT_DOUBLE_EQ(f->run.sizeTotal, double(all) * 4096 / 1048576);
}

TEST_F(OwnerReports, WithoutSubContainersOnlyTheContainersOwnUsers) {
    f->search.chkSubContainers = false;
    subGetOwnerUsage(f->env, "FS1/SYS:");
    // ADMIN.ACME owns nothing, so no row; SALES is not searched.
    EXPECT_EQ(column(1), (QStringList{"[Supervisor]", "[No Owner]"}));
}

TEST_F(OwnerReports, NoOwnerRowOnlyWhenUnownedSpaceExists) {
    subGetOwnerUsage(f->env, "FS1/VOL1:");
    EXPECT_EQ(column(1), QStringList{"[Supervisor]"});
    f->grid.reset(3);
    f->search.cmbSelectedOwner.text = "[No Owner]";
    subGetSingleOwnerUsage(f->env, "FS1/VOL1:");
    EXPECT_EQ(column(1), QStringList{"[No Owner]"});
    EXPECT_EQ(column(2), QStringList{"0.00"});
}

TEST_F(OwnerReports, AVolumeWithNothingMountedOnItsFolderIsNotWalked) {
    Site site = acme.site();
    site.servers[0].volumes[0].mountPoint = true; // SYS: a plain folder, no disk on it
    useSite(site);
    subGetOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(f->grid.rows(), 1);
    // A failure with its reason, not a stop: a command line exits 1.
    EXPECT_EQ(f->run.failure, "\\\\FS1\\SYS is not mounted (nothing is mounted on " +
                                  QFile::decodeName(acme.root("SYS")) + ")");
    EXPECT_EQ(f->run.failureStatus, 1);
    EXPECT_FALSE(f->run.cancel);
}

TEST_F(OwnerReports, SupervisorRowOnlyWhenRootOwnsABlock) {
    ASSERT_EQ(::chown(acme.root("VOL1").constData(), 1003, 1003), 0);
    subGetOwnerUsage(f->env, "FS1/VOL1:");
    EXPECT_EQ(column(1), QStringList{"ADMIN.ACME"});
}

TEST_F(OwnerReports, SelectOwnerAlwaysWritesOneUnpaddedRow) {
    f->search.lblStartContainer = "ACME_TREE\\ACME\\SALES";
    f->search.cmbSelectedOwner.text = "JSMITH";
    subGetSingleOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(column(1), QStringList{"JSMITH.SALES.ACME"});
    EXPECT_EQ(column(2), QStringList{mb(expected[1001])});
    EXPECT_EQ(f->host.statuses.last(), "JSMITH.SALES.ACME.");
    f->grid.reset(3);
    f->search.lblStartContainer = "ACME_TREE\\ACME";
    f->search.cmbSelectedOwner.text = "ADMIN";
    subGetSingleOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(column(2), QStringList{"0.00"});
}

TEST_F(OwnerReports, GroupMembersEachGetARow) {
    f->run.ownerKind = "Group";
    subGetGroupofUsers(f->env, "ACME_TREE\\ACME\\SALES", "STAFF", "FS1/SYS:");
    EXPECT_EQ(column(1), (QStringList{"JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    EXPECT_EQ(column(2), (QStringList{CellFormat::padLeft(mb(expected[1001])), "           0.00"}));
    f->grid.reset(3);
    subGetGroupofUsers(f->env, "ACME_TREE\\ACME\\SALES", "EMPTY", "FS1/SYS:");
    EXPECT_EQ(f->grid.rows(), 1);
}

TEST_F(OwnerReports, CancelDuringAllOwnersKeepsTheRowsWritten) {
    f->host.onPoll = [this] {
        if (f->grid.rows() == 3)
            f->run.cancel = true;
    };
    subGetOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(column(1), (QStringList{"[Supervisor]", "[No Owner]"}));
}

TEST_F(OwnerReports, TheRunWritesTheTotalsOfAllOwners) {
    f->search.cmbServer.showOrAdd("FS1");
    f->search.cmbVolumeList.showOrAdd("SYS");
    btnShowUsage_Click(f->env);
    double exact = 0; // the totals add the exact figures, rounded once
    for (uid_t uid : {0u, 4242u, 1001u, 1002u})
        exact += double(expected[uid]) * 4096 / 1048576;
    EXPECT_EQ(f->view.lblGraphStats,
              "Total Results: 4    |    Total Size: " + CellFormat::formatNumber(exact, "###,###,###,##0.00") + " MB");
    // The status says what the figures are: blocks, where Show Files lists lengths.
    EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Complete." + kOwnerFigures);
    // The accounting walk counts into the run's progress, afresh for each run.
    const std::uint64_t walked = f->run.progress.directories;
    EXPECT_GT(walked, 0u);
    btnShowUsage_Click(f->env);
    EXPECT_EQ(f->run.progress.directories, walked);
}

TEST_F(OwnerReports, EachUidIsOneOwnerRow) {
    // A user of the tree with root's uid is the supervisor again, and a
    // second user of a uid owns nothing the first does not.
    Site site = acme.site();
    site.trees[0].objects += {AcmeSite::object("TOOR.ACME", "User", 0), AcmeSite::object("TWIN.ACME", "User", 1001)};
    useSite(site);
    subGetOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(column(1), (QStringList{"[Supervisor]", "[No Owner]", "JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    EXPECT_EQ(column(2)[0], CellFormat::padLeft(mb(expected[0])));
    // Said, not left to a guess: who shares a uid, and under whose row its space is.
    ASSERT_EQ(f->host.messages.size(), 1);
    EXPECT_TRUE(f->host.messages[0].contains("TOOR.ACME shares uid 0 with [Supervisor]")) << f->host.messages[0].toStdString();
    EXPECT_TRUE(f->host.messages[0].contains("TWIN.ACME shares uid 1001 with JSMITH.SALES.ACME"));
    EXPECT_TRUE(f->host.messages[0].endsWith("the space of a shared uid is shown once, under the first user."));
}

TEST_F(OwnerReports, AFigureACancelLeftUnmeasuredGetsNoRow) {
    f->search.cmbServer.showOrAdd("FS1");
    f->search.cmbVolumeList.showOrAdd("SYS");
    f->host.onPoll = [this] { f->run.cancel = true; }; // Stop, before the walk ends
    for (OwnerOption option : {OwnerOption::optAllOwners, OwnerOption::optSelectOwner, OwnerOption::optGroup}) {
        f->search.ownerOption = option;
        f->search.lblStartContainer = "ACME_TREE\\ACME\\SALES";
        f->search.cmbSelectedOwner.text = "JSMITH";
        f->search.cmbGroup.text = "STAFF";
        btnShowUsage_Click(f->env);
        EXPECT_EQ(f->grid.rows(), 1) << int(option) << ": " << f->grid.cell(1, 1).toStdString();
        EXPECT_EQ(outcomeOf(f->host.statuses.last()), "Process Cancelled!" + kOwnerFigures) << int(option);
    }
}

TEST_F(OwnerReports, RowsMeasuredBeforeACancelStay) {
    f->client.setWalkControl(&f->run.cancel, {});
    f->run.ownerKind = "Group";
    subGetGroupUserUsage(f->env, "JSMITH.SALES.ACME", "FS1/SYS:");
    f->run.cancel = true; // the volume's figures are gathered: the next member still has its own
    subGetGroupUserUsage(f->env, "BJONES.SALES.ACME", "FS1/SYS:");
    f->client.startAccountingRun(); // a new run whose walk the cancel stops
    subGetGroupUserUsage(f->env, "JSMITH.SALES.ACME", "FS1/SYS:");
    EXPECT_EQ(column(1), (QStringList{"JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    EXPECT_EQ(column(2), (QStringList{CellFormat::padLeft(mb(expected[1001])), "           0.00"}));
}

// The scan ncdu wrote of the volume stands for it: the rows a walk gave
// then, whatever the volume holds now.
TEST_F(OwnerReports, AnImportGivesTheRowsOfAWalkOfTheTreeScanned) {
    subGetOwnerUsage(f->env, "FS1/SYS:");
    const QStringList owners = column(1);
    const QStringList figures = column(2);
    const QList<std::int64_t> walkedFiles = files();
    ASSERT_EQ(owners.size(), 4);
    EXPECT_EQ(walkedFiles.mid(1), (QList<std::int64_t>{1, 1, 1})); // a file each; root has the folders too
    const QString scan = acme.dir() + "/sys.json";
    const QString sys = QFile::decodeName(acme.root("SYS"));
    ASSERT_TRUE(TreeBuilder::ncduExport(sys, scan));
    writeFile(sys + "/home/jsmith/later.dat", 1048576, 1001);
    useSite(acme.site());
    f->app.importFilePath = scan;
    subGetOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(column(1), owners);
    EXPECT_EQ(column(2), figures);
    EXPECT_EQ(files(), walkedFiles);
    EXPECT_TRUE(f->run.failure.isEmpty()) << f->run.failure.toStdString();
    f->grid.reset(3);
    f->run.ownerKind = "Group";
    subGetGroupofUsers(f->env, "ACME_TREE\\ACME\\SALES", "STAFF", "FS1/SYS:");
    EXPECT_EQ(column(2), (QStringList{figures[2], figures[3]}));
    // Without -e ncdu writes no owners: no figure could be anyone's.
    ASSERT_TRUE(TreeBuilder::ncduExport(sys, scan, false));
    useSite(acme.site());
    f->app.importFilePath = scan;
    subGetOwnerUsage(f->env, "FS1/SYS:");
    EXPECT_EQ(f->grid.rows(), 1);
    EXPECT_EQ(f->run.failure, scan + " records no owners (ncdu writes them with -e), so an Owner run cannot be "
                                     "answered from it");
    EXPECT_EQ(f->run.failureStatus, 1);
}

namespace {

// Owner runs on a server or volume that does not exist; no files are needed.
class OwnerRunOnAMissingVolume : public ::testing::Test {
protected:
    OwnerRunOnAMissingVolume() : f(acme.site()) {
        f.app.treeName = "ACME_TREE";
        f.search.tabSearch = ReportKind::Owner;
        f.search.cmbSelectedOwner.text = "[Supervisor]";
        f.search.cmbGroup.text = "STAFF";
        f.search.lblStartContainer = "ACME_TREE\\ACME\\SALES";
    }

    // Runs each form of the report; what each said.
    void runEachForm(const QString& server, const QString& volume) {
        f.search.cmbServer.showOrAdd(server);
        f.search.cmbVolumeList.showOrAdd(volume);
        for (OwnerOption option : {OwnerOption::optAllOwners, OwnerOption::optSelectOwner, OwnerOption::optGroup}) {
            f.search.ownerOption = option;
            f.host.messages.clear();
            btnShowUsage_Click(f.env);
            EXPECT_EQ(f.grid.rows(), 1) << int(option) << ": " << f.grid.cell(1, 1).toStdString();
            EXPECT_EQ(f.run.failureStatus, 1) << int(option);
            said.append(f.host.statuses.last());
        }
    }

    AcmeSite acme;
    ReportFixture f;
    QStringList said;
};

} // namespace

TEST_F(OwnerRunOnAMissingVolume, NamesTheServersVolumesAndWritesNoRows) {
    runEachForm("FS1", "VOL9");
    const QString message = "Process Failed: there is no volume VOL9 on server FS1 (volumes: SYS, VOL1); nothing was reported.";
    EXPECT_EQ(said, (QStringList{message, message, message}));
}

TEST_F(OwnerRunOnAMissingVolume, NamesAServerThatDoesNotExist) {
    runEachForm("FS3", "SYS");
    const QString message = "Process Failed: there is no server FS3 (servers: FS1, FS2); nothing was reported.";
    EXPECT_EQ(said, (QStringList{message, message, message}));
}
