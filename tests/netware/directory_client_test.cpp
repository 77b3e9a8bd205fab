#include "acme_site.h"

#include "netware/client/netware_client.h"
#include "netware/client/password_hash.h"
#include "netware/client/site_loader.h"
#include "netware/client/system_site.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class Directory : public ::testing::Test {
protected:
    Directory() : client(acme.site()) {
        client.NWCallsInit();
        client.NWDSCreateContextHandle(ctx);
    }

    QStringList searchAll(const QString& base, int scope, const QString& cls, int* batches = nullptr) {
        QStringList all;
        std::int32_t iteration = -1;
        int count = 0;
        do {
            QStringList batch;
            if (client.NWDSSearch(ctx, base, scope, cls, iteration, batch) != 0)
                break;
            all += batch;
            ++count;
        } while (iteration != -1);
        if (batches)
            *batches = count;
        return all;
    }

    AcmeSite acme;
    NetWareClient client;
    NWDSContextHandle ctx = 0;
};

} // namespace

TEST(CanonicalNames, LeadingAndTrailingDotsAndTypesGo) {
    EXPECT_EQ(canonicalDottedName(".JSMITH.SALES.ACME"), "JSMITH.SALES.ACME");
    EXPECT_EQ(canonicalDottedName("SALES.ACME."), "SALES.ACME");
    EXPECT_EQ(canonicalDottedName("CN=JSMITH.OU=SALES.O=ACME"), "JSMITH.SALES.ACME");
    EXPECT_EQ(canonicalDottedName("[Root]"), "");
    EXPECT_EQ(canonicalDottedName(" [root] "), "");
}

TEST_F(Directory, SearchOneLevelOrTheSubtree) {
    EXPECT_EQ(searchAll("SALES.ACME.", 1, "User"), (QStringList{"JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    EXPECT_EQ(searchAll("ACME.", 1, "User"), QStringList{"ADMIN.ACME"});
    EXPECT_EQ(searchAll("acme.", 2, "User"),
              (QStringList{"JSMITH.SALES.ACME", "BJONES.SALES.ACME", "ADMIN.ACME"}));
    EXPECT_EQ(searchAll("[Root]", 1, "User"), QStringList{});
    EXPECT_EQ(searchAll("[Root]", 2, "NCP Server"), QStringList{"FS1.ACME"});
    EXPECT_EQ(searchAll(".SALES.ACME", 1, "Group"), (QStringList{"STAFF.SALES.ACME", "EMPTY.SALES.ACME"}));
}

TEST_F(Directory, SearchingBelowSomethingThatIsNoContainerFails) {
    std::int32_t iteration = -1;
    QStringList names;
    EXPECT_EQ(client.NWDSSearch(ctx, "NOWHERE.ACME.", 2, "User", iteration, names), nw::ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(client.NWDSSearch(ctx, "JSMITH.SALES.ACME.", 1, "User", iteration, names), nw::ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(iteration, -1);
    EXPECT_EQ(client.lastResult(), nw::ERR_NO_SUCH_ENTRY);
}

TEST_F(Directory, LargeResultsComeInBatchesUntilTheIterationIsMinusOneAgain) {
    Site site;
    TreeConfig big;
    big.name = "BIG_TREE";
    big.isDefault = true;
    big.objects = {AcmeSite::object("BIG", "Organization")};
    for (int i = 0; i < 600; ++i)
        big.objects.append(AcmeSite::object(QString("USER%1.BIG").arg(i, 3, 10, QChar('0')), "User", 2000 + i));
    site.trees = {big};
    NetWareClient bigClient(site);
    bigClient.NWCallsInit();
    NWDSContextHandle c = 0;
    bigClient.NWDSCreateContextHandle(c);
    QStringList all;
    int batches = 0;
    std::int32_t iteration = -1;
    do {
        QStringList batch;
        ASSERT_EQ(bigClient.NWDSSearch(c, "BIG.", 1, "User", iteration, batch), 0);
        all += batch;
        ++batches;
    } while (iteration != -1);
    EXPECT_EQ(all.size(), 600);
    EXPECT_EQ(all.first(), "USER000.BIG");
    EXPECT_EQ(all.last(), "USER599.BIG");
    EXPECT_GT(batches, 1);
}

TEST_F(Directory, ReadsMembersAndNames) {
    std::int32_t iteration = -1;
    QStringList values;
    ASSERT_EQ(client.NWDSRead(ctx, ".STAFF.SALES.ACME", "Member", iteration, values), 0);
    EXPECT_EQ(values, (QStringList{"JSMITH.SALES.ACME", "BJONES.SALES.ACME"}));
    EXPECT_EQ(iteration, -1);
    ASSERT_EQ(client.NWDSRead(ctx, ".JSMITH.SALES.ACME", "Full Name", iteration, values), 0);
    EXPECT_EQ(values, QStringList{"John Smith"});
    EXPECT_EQ(client.NWDSRead(ctx, ".EMPTY.SALES.ACME", "Member", iteration, values), nw::ERR_NO_SUCH_ATTRIBUTE);
    EXPECT_EQ(client.NWDSRead(ctx, ".BJONES.SALES.ACME", "Full Name", iteration, values), nw::ERR_NO_SUCH_ATTRIBUTE);
    EXPECT_EQ(client.NWDSRead(ctx, ".GHOST.ACME", "Full Name", iteration, values), nw::ERR_NO_SUCH_ENTRY);
}

TEST_F(Directory, MapsNamesToIdsAndBack) {
    std::uint32_t id = 7;
    ASSERT_EQ(client.NWDSMapNameToID(ctx, 0, "JSMITH.SALES.ACME.", id), 0);
    EXPECT_EQ(id, 1001u);
    ASSERT_EQ(client.NWDSMapNameToID(ctx, 0, "[Supervisor]", id), 0);
    EXPECT_EQ(id, DirectoryClient::kSupervisorId);
    EXPECT_EQ(DirectoryClient::uidOfObjectId(id), 0u);
    id = 42;
    EXPECT_EQ(client.NWDSMapNameToID(ctx, 0, "GHOST.ACME.", id), nw::ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(id, 42u); // the ID held before stays
    ASSERT_EQ(client.NWDSMapNameToID(ctx, 0, "STAFF.SALES.ACME", id), 0);
    EXPECT_GE(id, 0x80000000u);
    QString name;
    ASSERT_EQ(client.NWDSMapIDToName(ctx, 0, 1002, name), 0);
    EXPECT_EQ(name, "BJONES.SALES.ACME");
    EXPECT_EQ(client.NWDSMapIDToName(ctx, 0, 4242, name), nw::ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(client.NWDSMapIDToName(ctx, 0, 0, name), nw::ERR_NO_SUCH_ENTRY);
}

TEST_F(Directory, WhoAmIIsTheTreesIdentityOrPublic) {
    QString name;
    ASSERT_EQ(client.NWDSWhoAmI(ctx, name), 0);
    EXPECT_EQ(name, "ADMIN.ACME");
    client.NWDSSetContext(ctx, nw::DCK_TREE_NAME, QString("FAR_TREE"));
    ASSERT_EQ(client.NWDSWhoAmI(ctx, name), 0);
    EXPECT_EQ(name, "[PUBLIC]");
}

TEST_F(Directory, TreesConnectedAndAvailable) {
    QStringList trees;
    int count = 0;
    ASSERT_EQ(client.NWDSScanConnsForTrees(ctx, 16, count, trees), 0);
    EXPECT_EQ(trees, (QStringList{"ACME_TREE", "HOST_TREE"}));
    EXPECT_EQ(count, 2);
    std::uint32_t handle = 0;
    ASSERT_EQ(client.NWGetObjectNamesBeginA(DirectoryClient::kTreeNameType, handle), 0);
    QStringList all;
    QString name;
    while (client.NWGetObjectNamesNextA(handle, 127, name) == 0)
        all.append(name);
    EXPECT_EQ(client.NWGetObjectNamesEndA(handle), 0);
    EXPECT_EQ(all, (QStringList{"ACME_TREE", "HOST_TREE", "FAR_TREE"}));
}

TEST_F(Directory, ListsContainersOneLevelWithTheirClass) {
    std::int32_t iteration = -1;
    QList<ContainerEntry> entries;
    ASSERT_EQ(client.NWDSListContainers(ctx, "[Root]", iteration, entries), 0);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].name, "ACME");
    EXPECT_EQ(entries[0].baseClass, "Organization");
    ASSERT_EQ(client.NWDSListContainers(ctx, "ACME.", iteration, entries), 0);
    ASSERT_EQ(entries.size(), 1);
    EXPECT_EQ(entries[0].name, "SALES.ACME");
    EXPECT_EQ(entries[0].baseClass, "Organizational Unit");
}

TEST_F(Directory, ServersBelongToTheTreeHoldingTheirObject) {
    ASSERT_TRUE(client.treeOfServer("fs1"));
    EXPECT_EQ(client.treeOfServer("fs1")->name, "ACME_TREE");
    EXPECT_EQ(client.treeOfServer("ELSEWHERE")->name, "ACME_TREE"); // the default tree
}

// Logins: an inline user by the crypt(3) hash the site file keeps, and a
// tree logged into counts as connected from then on.
TEST(TreeLogin, InlineUsersLogInByTheirHash) {
    AcmeSite acme;
    Site site = acme.site();
    for (TreeConfig& tree : site.trees) {
        for (DirectoryObject& object : tree.objects) {
            if (object.name == "JSMITH.SALES.ACME")
                object.passwordHash = PasswordHash::make("s3cret pass");
            if (object.name == "BJONES.SALES.ACME")
                object.passwordHash = "$1$salt$qJH7.N4xYta3aEG/dfqo/0"; // MD5 is too weak to be trusted
        }
    }
    site.trees[2].objects = {AcmeSite::object("FAR", "Organization"), AcmeSite::object("ZED.FAR", "User", 7)};
    site.trees[2].objects[1].passwordHash = PasswordHash::make("far");
    NetWareClient client(site);
    client.NWCallsInit();
    NWDSContextHandle ctx = 0;
    client.NWDSCreateContextHandle(ctx);
    EXPECT_EQ(client.NWDSLogin(ctx, 0, ".JSMITH.SALES.ACME", "s3cret", 0), nw::ERR_FAILED_AUTHENTICATION);
    EXPECT_EQ(client.NWDSLogin(ctx, 0, ".BJONES.SALES.ACME", "password", 0), nw::ERR_FAILED_AUTHENTICATION);
    EXPECT_NE(client.NWDSLogin(ctx, 0, ".ADMIN.ACME", "", 0), 0); // no hash: no login
    EXPECT_NE(client.NWDSLogin(ctx, 0, ".SALES.ACME", "s3cret pass", 0), 0); // not a user
    // Refused, not cut at the NUL and taken for "s3cret pass".
    EXPECT_EQ(client.NWDSLogin(ctx, 0, ".JSMITH.SALES.ACME", QString("s3cret pass") + QChar(0) + "x", 0),
              nw::ERR_FAILED_AUTHENTICATION);
    QString who;
    client.NWDSWhoAmI(ctx, who);
    EXPECT_EQ(who, "ADMIN.ACME");
    EXPECT_EQ(client.NWDSLogin(ctx, 0, ".jsmith.sales.acme", "s3cret pass", 0), 0);
    client.NWDSWhoAmI(ctx, who);
    EXPECT_EQ(who, "JSMITH.SALES.ACME");

    client.NWDSSetContext(ctx, nw::DCK_TREE_NAME, QString("FAR_TREE"));
    ASSERT_EQ(client.NWDSLogin(ctx, 0, ".ZED.FAR", "far", 0), 0);
    QStringList trees;
    int count = 0;
    client.NWDSScanConnsForTrees(ctx, 16, count, trees);
    EXPECT_EQ(trees, (QStringList{"ACME_TREE", "HOST_TREE", "FAR_TREE"}));
}

// Host accounts log in through PAM. pam_wrapper must be preloaded when the
// process starts, so the test runs itself again with it and pam_matrix's
// own password list: no system account is read for a password or changed.
TEST(TreeLogin, HostAccountsLogInThroughPam) {
    const QString account = "daemon"; // on every Debian system, never logged into
    if (qEnvironmentVariableIsSet("QUARVO_PAM_CHILD")) {
        Site site = SystemSite::build(SiteLoader::hostName(), {});
        NetWareClient client(site);
        client.NWCallsInit();
        NWDSContextHandle ctx = 0;
        client.NWDSCreateContextHandle(ctx);
        const QString org = SystemSite::serverName(SiteLoader::hostName());
        EXPECT_EQ(client.NWDSLogin(ctx, 0, "." + account + "." + org, "wrong", 0), nw::ERR_FAILED_AUTHENTICATION);
        EXPECT_EQ(client.NWDSLogin(ctx, 0, ".NOSUCHUSER." + org, "right one", 0), nw::ERR_FAILED_AUTHENTICATION);
        EXPECT_EQ(client.NWDSLogin(ctx, 0, "." + account.toUpper() + "." + org, "right one", 0), 0);
        return;
    }
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "pam_wrapper loads PAM with RTLD_DEEPBIND, which AddressSanitizer cannot run";
#endif
    const QString wrapper = "/usr/lib/x86_64-linux-gnu/libpam_wrapper.so";
    const QString matrix = "/usr/lib/x86_64-linux-gnu/pam_wrapper/pam_matrix.so";
    if (!QFile::exists(wrapper) || !QFile::exists(matrix))
        GTEST_SKIP() << "pam_wrapper is not installed";
    QTemporaryDir dir;
    QDir().mkpath(dir.path() + "/services");
    QFile passdb(dir.path() + "/passdb");
    ASSERT_TRUE(passdb.open(QIODevice::WriteOnly));
    passdb.write((account + ":right one:quarvo\n").toUtf8());
    passdb.close();
    QFile service(dir.path() + "/services/quarvo");
    ASSERT_TRUE(service.open(QIODevice::WriteOnly));
    for (const char* type : {"auth", "account"})
        service.write(QString("%1 required %2 passdb=%3\n").arg(type, matrix, passdb.fileName()).toUtf8());
    service.close();
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QUARVO_PAM_CHILD", "1");
    env.insert("LD_PRELOAD", wrapper);
    env.insert("PAM_WRAPPER", "1");
    env.insert("PAM_WRAPPER_SERVICE_DIR", dir.path() + "/services");
    QProcess child;
    child.setProcessEnvironment(env);
    child.start(QCoreApplication::applicationFilePath(), {"--gtest_filter=TreeLogin.HostAccountsLogInThroughPam"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QString output = QString::fromUtf8(child.readAllStandardOutput() + child.readAllStandardError());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}
