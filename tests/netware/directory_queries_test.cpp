#include "acme_site.h"
#include "report_fixture.h"

#include "netware/directory_queries.h"
#include "netware/volume_choice.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Queries : public ::testing::Test {
protected:
    Queries() : f(acme.site()) { f.app.treeName = "ACME_TREE"; }
    AcmeSite acme;
    ReportFixture f;
};

Site twoServersWithSharedVolumeName(const QString& dir) {
    Site site;
    TreeConfig tree;
    tree.name = "T";
    tree.isDefault = true;
    tree.objects = {AcmeSite::object("O", "Organization"), AcmeSite::object("FS1.O", "NCP Server"),
                    AcmeSite::object("FS2.O", "NCP Server")};
    site.trees = {tree};
    site.servers = {{"FS1", {{"SYS", dir.toUtf8()}, {"VOL1", dir.toUtf8()}}},
                    {"FS2", {{"VOL1", dir.toUtf8()}}}};
    return site;
}

} // namespace

TEST_F(Queries, UserListsAlwaysEndWithSupervisorAndNoOwner) {
    subListUsers(f.env, "ACME_TREE\\ACME\\SALES", f.search.cmbSelectedOwner);
    // In name order, not the directory's.
    EXPECT_EQ(f.search.cmbSelectedOwner.entries, (QStringList{"BJONES", "JSMITH", "[Supervisor]", "[No Owner]"}));
    EXPECT_EQ(f.search.cmbSelectedOwner.text, "BJONES");
    EXPECT_EQ(f.app.ownerContext, "SALES.ACME");

    subListUsers(f.env, "ACME_TREE\\[Root]", f.search.cmbSelectedOwner);
    EXPECT_EQ(f.search.cmbSelectedOwner.entries, (QStringList{"[Supervisor]", "[No Owner]"}));
    EXPECT_TRUE(f.host.statuses.last().startsWith("No users are directly in [Root]: choose a container"));
    EXPECT_EQ(f.app.ownerContext, "[Root]");

    subListUsers(f.env, "ACME_TREE\\NOWHERE", f.search.cmbSelectedOwner);
    EXPECT_EQ(f.search.cmbSelectedOwner.entries, (QStringList{"[Supervisor]", "[No Owner]"}));
}

TEST_F(Queries, GroupsOfAContainer) {
    subListGroups(f.env, "ACME_TREE\\ACME\\SALES", f.search.cmbGroup);
    EXPECT_EQ(f.search.cmbGroup.entries, (QStringList{"EMPTY", "STAFF"}));
    EXPECT_EQ(f.search.cmbGroup.text, "EMPTY");
    subListGroups(f.env, "ACME_TREE\\ACME", f.search.cmbGroup);
    EXPECT_TRUE(f.search.cmbGroup.entries.isEmpty());
    EXPECT_EQ(f.search.cmbGroup.text, "");
}

TEST_F(Queries, ServersBelowTheSearchContainer) {
    QTemporaryDir dir;
    SettingsStore settings({dir.path() + "/user.conf", dir.path() + "/system.conf"});
    settings.writeUser("StartingServerContext", "ACME");
    subListServers(f.env, settings, "NCP Server");
    EXPECT_EQ(f.search.cmbServer.entries, QStringList{"FS1"});
    EXPECT_EQ(f.search.cmbServers.entries, (QStringList{"[All Servers]", "FS1"}));
    settings.writeUser("StartingServerContext", "SALES.ACME");
    subListServers(f.env, settings, "NCP Server");
    EXPECT_EQ(f.search.cmbServer.entries, QStringList{});
    settings.writeUser("ServerSearchSubContainers", "False");
    settings.writeUser("StartingServerContext", "");
    subListServers(f.env, settings, "NCP Server");
    EXPECT_EQ(f.search.cmbServer.entries, QStringList{}); // FS1 is not directly at the root
    EXPECT_FALSE(f.app.serverSearchSubContainers);
}

TEST(ServerVolumes, EachVolumeOnceAndNeverTheAdministrationVolumes) {
    QTemporaryDir dir;
    ReportFixture f(twoServersWithSharedVolumeName(dir.path()));
    subListServerVolumes(f.env, "FS1", "frmMain", 1);
    EXPECT_EQ(f.search.cmbVolumeList.entries, (QStringList{"SYS", "VOL1"}));
    subListServerVolumes(f.env, "FS1", "frmMain", 0);
    EXPECT_EQ(f.search.lstAvailableVolumes, (QStringList{"SYS", "VOL1"}));
    EXPECT_TRUE(f.search.grdServerVolumeList.isEmpty()); // not in "[All Servers]" mode
    subListServerVolumes(f.env, "NOSUCH", "frmMain", 1);
    EXPECT_EQ(f.search.cmbVolumeList.entries, (QStringList{"SYS", "VOL1"}));
}

TEST(ServerVolumes, AllServersCollectsEveryServerVolumePair) {
    QTemporaryDir dir;
    ReportFixture f(twoServersWithSharedVolumeName(dir.path()));
    f.search.cmbServers.text = "[All Servers]";
    subListServerVolumes(f.env, "FS1", "frmMain", 0);
    subListServerVolumes(f.env, "FS2", "frmMain", 0);
    EXPECT_EQ(f.search.lstAvailableVolumes, (QStringList{"SYS", "VOL1"}));
    QStringList pairs;
    for (const ServerVolume& p : f.search.grdServerVolumeList)
        pairs.append(p.server + "\\" + p.volume);
    // Listed in two name spaces, a pair is recorded for each listing.
    EXPECT_TRUE(pairs.contains("FS1\\VOL1"));
    EXPECT_TRUE(pairs.contains("FS2\\VOL1"));
    EXPECT_FALSE(pairs.join(",").contains("ADMIN"));
}

TEST(ServerVolumes, TheBatchBuilderGetsItsOwnList) {
    QTemporaryDir dir;
    ReportFixture f(twoServersWithSharedVolumeName(dir.path()));
    ChoiceList builderVolumes;
    subListServerVolumes(f.env, "FS2", "frmCreateCommandLineRun", 0, &builderVolumes);
    EXPECT_EQ(builderVolumes.entries, QStringList{"VOL1"});
    EXPECT_TRUE(f.search.lstAvailableVolumes.isEmpty());
}

TEST_F(Queries, ReadsAttributesAndGroupMembers) {
    EXPECT_EQ(fcnReadAttribute(f.env, "JSMITH.SALES.ACME", "Full Name"), "John Smith");
    EXPECT_EQ(fcnReadAttribute(f.env, "GHOST.ACME", "Full Name"), "");
    f.run.ownerKind = "Group";
    EXPECT_EQ(fcnReadAttribute(f.env, "STAFF.SALES.ACME", "Member"), "");
    EXPECT_EQ(f.search.lstGroupOfUsers, (QStringList{"JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    f.search.lstGroupOfUsers.clear();
    fcnReadAttribute(f.env, "EMPTY.SALES.ACME", "Member");
    EXPECT_TRUE(f.search.lstGroupOfUsers.isEmpty());
}

TEST_F(Queries, DebugModeExplainsAFailedRead) {
    f.app.debugMode = true;
    fcnReadAttribute(f.env, "GHOST.ACME", "Full Name");
    ASSERT_EQ(f.host.messages.size(), 1);
    EXPECT_EQ(f.host.messages[0], "NWDSRead result = -601");
}

TEST_F(Queries, FullNameFallsBackToGivenNameAndSurname) {
    EXPECT_EQ(fcnGetFullName(f.env, "JSMITH.SALES.ACME"), "John Smith");
    EXPECT_EQ(fcnGetFullName(f.env, "BJONES.SALES.ACME"), "Barbara Jones");
    EXPECT_EQ(fcnGetFullName(f.env, "ADMIN.ACME"), "");
}

TEST_F(Queries, WhoAmIGivesTheUsersContainer) {
    EXPECT_EQ(fcnWhoAmIContext(f.env), ".ACME");
    f.app.treeName = "FAR_TREE";
    EXPECT_EQ(fcnWhoAmIContext(f.env), "[PUBLIC]");
}

TEST_F(Queries, DefaultAndConnectedTrees) {
    f.app.treeName.clear();
    subGetDefaultTree(f.env);
    EXPECT_EQ(f.app.treeName, "ACME_TREE");
    EXPECT_EQ(subListConnectedTrees(f.env), (QStringList{"ACME_TREE", "HOST_TREE"}));
    EXPECT_EQ(subListAvailableTrees(f.env, "frmAvailableTrees"), (QStringList{"ACME_TREE", "HOST_TREE", "FAR_TREE"}));
    EXPECT_EQ(subListAvailableTrees(f.env, "frmMain"), QStringList{});
    EXPECT_FALSE(f.host.busy);
}

TEST_F(Queries, TheHostsOwnTreeListsItsAccounts) {
    f.app.treeName = "HOST_TREE";
    const QString whoAmI = fcnWhoAmIContext(f.env);
    ASSERT_TRUE(whoAmI.startsWith("."));
    subListUsers(f.env, "HOST_TREE\\" + whoAmI.mid(1), f.search.cmbSelectedOwner);
    EXPECT_FALSE(f.search.cmbSelectedOwner.entries.contains("root"));
    EXPECT_EQ(f.search.cmbSelectedOwner.entries.mid(f.search.cmbSelectedOwner.entries.size() - 2),
              (QStringList{"[Supervisor]", "[No Owner]"}));
    // A first start there lists the host's accounts at once; other trees start at their root.
    const QString start = fcnDefaultStartContainer(f.env);
    EXPECT_EQ(start, "HOST_TREE\\" + whoAmI.mid(1));
    subListUsers(f.env, start, f.search.cmbSelectedOwner);
    EXPECT_GT(f.search.cmbSelectedOwner.entries.size(), 2);
    f.app.treeName = "ACME_TREE";
    EXPECT_EQ(fcnDefaultStartContainer(f.env), "ACME_TREE\\[Root]");
}

TEST(VolumeChoice, UnderAllServersAVolumeNameAddsOnePathPerServerAndOnlyOnce) {
    QTemporaryDir dir;
    ReportFixture f(twoServersWithSharedVolumeName(dir.path()));
    f.app.treeName = "T";
    SettingsStore settings({dir.filePath("user.conf"), dir.filePath("system.conf")});
    subListServers(f.env, settings, "NCP Server");
    VolumeChoice::cmbServers_Click(f.env, "[All Servers]");
    EXPECT_EQ(f.search.lstAvailableVolumes, (QStringList{"SYS", "VOL1"}));
    VolumeChoice::subAddVolumeToSelectedList(f.search, {"VOL1"});
    EXPECT_EQ(f.search.lstSelectedVolumes, (QStringList{"\\\\FS1\\VOL1", "\\\\FS2\\VOL1"}));
    VolumeChoice::subAddVolumeToSelectedList(f.search, {"VOL1"});
    EXPECT_EQ(f.search.lstSelectedVolumes.size(), 2);
    // One server: its own volumes only; the chosen paths stay.
    VolumeChoice::cmbServers_Click(f.env, "FS2");
    EXPECT_EQ(f.search.lstAvailableVolumes, QStringList{"VOL1"});
    EXPECT_TRUE(f.search.grdServerVolumeList.isEmpty());
    EXPECT_EQ(f.search.cmbServer.text, "FS2");
    VolumeChoice::subAddVolumeToSelectedList(f.search, {"VOL1"});
    EXPECT_EQ(f.search.lstSelectedVolumes.size(), 2);
    VolumeChoice::removeSelected(f.search, {0, 1});
    EXPECT_TRUE(f.search.lstSelectedVolumes.isEmpty());
    f.search.tabSearch = ReportKind::Volume;
    EXPECT_FALSE(f.search.subbtnShowUsageEnable());
}
