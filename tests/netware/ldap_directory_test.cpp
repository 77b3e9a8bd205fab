#include "directory_data.h"
#include "root_safe_folder.h"
#include "slapd_server.h"

#include "netware/client/ldap_address.h"
#include "netware/client/ldap_directory.h"
#include "netware/client/ldap_names.h"
#include "netware/client/netware_client.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <atomic>
#include <unistd.h>

namespace {

// "secret", as SHA-512 crypt.
constexpr const char* kSecretHash =
    "$6$quarvotest$VTY1FTHUnp8e.F5hgycDsGhxA14ZHFpdATFa7HN0YZ7HUGm4iG5EUMeX9TEAQmU32NbOPFK2atG/8afcgNqx90";

DirectoryObject object(const QString& name, const QString& className, std::optional<std::uint32_t> uid = {},
                       const QString& surname = {}) {
    DirectoryObject o;
    o.name = name;
    o.className = className;
    o.uid = uid;
    o.surname = surname;
    o.passwordHash = className == QLatin1String("User") ? QString::fromLatin1(kSecretHash) : QString();
    return o;
}

// What an inline tree can hold too; names with a comma, quotes, "<>;\" and
// filter characters among them.
QList<DirectoryObject> acmeObjects() {
    DirectoryObject jsmith = object("JSMITH.SALES.ACME", "User", 1001, "Smith");
    jsmith.fullName = "John Smith";
    jsmith.givenName = "John";
    DirectoryObject bjones = object("BJONES.SALES.ACME", "User", 1002, "Jones");
    bjones.givenName = "Barbara";
    DirectoryObject staff = object("STAFF.SALES.ACME", "Group");
    staff.fullName = "Sales staff";
    staff.members = {"JSMITH.SALES.ACME", "BJONES.SALES.ACME"};
    return {object("ACME", "Organization"),
            object("SALES.ACME", "Organizational Unit"),
            object("R+D, LABS.ACME", "Organizational Unit"),
            jsmith,
            bjones,
            object("ADMIN.ACME", "User", 1003, "Admin"),
            object("SMITH, JOHN.R+D, LABS.ACME", "User", 1004, "Smith"),
            object("#1 \"Q\" <A>; B\\\\C.R+D, LABS.ACME", "User", 1005, "Q"),
            object("*)(UID\\=*.SALES.ACME", "User", 1006, "Star"),
            staff,
            object("EMPTY.SALES.ACME", "Group"),
            object("FS1.ACME", "NCP Server"),
            object("US", "Country"),
            object("NY.US", "Locality")};
}

// What only a directory holds: a domain, a leading blank, an entry below a user.
QList<DirectoryObject> ldapOnlyObjects() {
    return {object("EXAMPLE", "Domain"), object("\\ LEAD.SALES.ACME", "User", 1007, "Lead"),
            object("PHONE.JSMITH.SALES.ACME", "NCP Server")};
}

QStringList namesOf(const QList<DirectoryObject>& objects) {
    QStringList names;
    for (const DirectoryObject& o : objects)
        names.append(o.name);
    return names;
}

QStringList classesOf(const QList<DirectoryObject>& objects) {
    QStringList classes;
    for (const DirectoryObject& o : objects)
        classes.append(o.name + " = " + o.className);
    return classes;
}

class Ldap : public ::testing::Test {
protected:
    void SetUp() override {
        if (!SlapdServer::available())
            GTEST_SKIP() << "slapd is not installed (Debian package slapd)";
    }

    // A server holding the objects, or null after a failure the test reports.
    std::unique_ptr<SlapdServer> serve(const QList<DirectoryObject>& objects, SlapdServer::Options options = {},
                                       const QList<DirectoryObject>& more = {}) {
        auto server = std::make_unique<SlapdServer>(m_dir.filePath(QString::number(m_servers++)), options);
        if (!server->running() || !server->load(DirectoryData::ldif(objects, SlapdServer::baseDn())) ||
            (!more.isEmpty() && !server->load(DirectoryData::ldif(more, SlapdServer::baseDn(), objects)))) {
            ADD_FAILURE() << server->why().toStdString();
            return nullptr;
        }
        return server;
    }

    static TreeConfig tree(const QString& uri) {
        TreeConfig t;
        t.name = "LDAP_TREE";
        t.directory = DirectoryKind::Ldap;
        t.uri = uri;
        t.baseDn = SlapdServer::baseDn();
        t.schema = *LdapSchema::preset("openldap");
        return t;
    }

    // Bound as the server's administrator; its password_file still to give.
    static TreeConfig boundTree(const SlapdServer& server) {
        TreeConfig t = tree(server.uri());
        t.bindDn = SlapdServer::adminDn();
        return t;
    }

    QTemporaryDir m_dir{rootSafeTemplate()};
    int m_servers = 0;
};

} // namespace

// --- names, filters and addresses --------------------------------------------

TEST(LdapNames, ValuesAreEscapedForDnsAndFilters) {
    EXPECT_EQ(LdapNames::escapeDnValue("Smith, John"), "Smith\\, John");
    EXPECT_EQ(LdapNames::escapeDnValue("#1 \"Q\" <A>; B\\C+D=E "), "\\#1 \\\"Q\\\" \\<A\\>\\; B\\\\C\\+D\\=E\\ ");
    EXPECT_EQ(LdapNames::escapeDnValue(" lead"), "\\ lead");
    EXPECT_EQ(LdapNames::escapeFilterValue("*)(uid=*"), "\\2a\\29\\28uid=\\2a");
    EXPECT_EQ(LdapNames::escapeFilterValue("a\\b"), "a\\5cb");
}

TEST(LdapNames, DnsBelowTheBaseBecomeDottedNames) {
    const LdapNames names("dc=quarvo,dc=test");
    const auto smith = names.place("cn=Smith\\, John,ou=R\\+D,o=ACME,DC=Quarvo,dc=test");
    ASSERT_TRUE(smith);
    EXPECT_EQ(smith->name, "SMITH, JOHN.R+D.ACME");
    EXPECT_EQ(smith->rdnAttribute, "cn");
    EXPECT_EQ(names.place("cn=j.doe,o=ACME,dc=quarvo,dc=test")->name, "J_DOE.ACME");
    EXPECT_EQ(names.place("dc=quarvo,dc=test")->name, "");
    EXPECT_FALSE(names.place("cn=x,dc=other,dc=test"));
    EXPECT_FALSE(names.place("not a dn"));
    // A leaf under a parent placed before is read by a shortcut: it must
    // read as a fresh parse of the whole DN does.
    for (const char* leaf : {"uid=jsmith", "cn=John Smith", "cn=j.doe-2_x", "cn= edge", "cn=a\2Cb", "cn=A+sn=B",
                             "cn=L\=London", "cn=straße", "2.5.4.3=oid", "cn=back\5Cslash", "cn=x{y}"}) {
        const QByteArray dn = QByteArray(leaf) + ",o=ACME,dc=quarvo,dc=test";
        const auto fresh = LdapNames("dc=quarvo,dc=test").place(dn);
        const auto known = names.place(dn);
        ASSERT_EQ(fresh.has_value(), known.has_value()) << leaf;
        if (fresh) {
            EXPECT_EQ(known->name, fresh->name) << leaf;
            EXPECT_EQ(known->rdnAttribute, fresh->rdnAttribute) << leaf;
        }
    }
}

TEST(LdapAddress, OnlyPlainLdapToAnotherHostExposesPasswords) {
    QString why;
    for (const char* local : {"ldap://127.0.0.5:389", "ldap://localhost", "ldap://[::1]:389", "ldapi:///",
                              "ldaps://ldap.example.com"})
        EXPECT_FALSE(LdapAddress::parse(local, why)->exposesPasswords(false)) << local;
    const auto remote = LdapAddress::parse("ldap://127.0.0.1 ldap://192.0.2.1", why);
    EXPECT_TRUE(remote->exposesPasswords(false));
    EXPECT_FALSE(remote->exposesPasswords(true));
    EXPECT_FALSE(LdapAddress::parse("http://ldap.example.com", why));
    EXPECT_TRUE(why.contains("is not an LDAP URL")) << why.toStdString();
}

// --- what the directory holds --------------------------------------------------

TEST_F(Ldap, ContainersAreListedWithTheirClassAndAUserNeverIsOne) {
    const auto server = serve(acmeObjects(), {}, ldapOnlyObjects());
    ASSERT_TRUE(server);
    const LdapDirectory directory(tree(server->uri()));
    EXPECT_EQ(classesOf(directory.containers({})),
              (QStringList{"ACME = Organization", "US = Country", "EXAMPLE = Domain"}));
    EXPECT_EQ(classesOf(directory.containers("acme")),
              (QStringList{"SALES.ACME = Organizational Unit", "R+D, LABS.ACME = Organizational Unit"}));
    EXPECT_EQ(classesOf(directory.containers("US")), QStringList{"NY.US = Locality"});
    // JSMITH holds an entry, yet is a user.
    EXPECT_EQ(classesOf(directory.containers("SALES.ACME")), QStringList{});
    EXPECT_FALSE(directory.isContainer("JSMITH.SALES.ACME"));
    EXPECT_TRUE(directory.isContainer("R+D, LABS.ACME"));
    EXPECT_FALSE(directory.isContainer("GHOST.ACME"));
    EXPECT_EQ(namesOf(directory.search({}, DirectoryBackend::Scope::Subtree, "NCP Server")),
              (QStringList{"FS1.ACME", "PHONE.JSMITH.SALES.ACME"}));
}

TEST_F(Ldap, NamesHoldingDnSpecialCharactersRoundTrip) {
    const auto server = serve(acmeObjects(), {}, ldapOnlyObjects());
    ASSERT_TRUE(server);
    // Each looked up before anything is listed, so from its dotted name alone.
    for (const char* name : {"SMITH, JOHN.R+D, LABS.ACME", "#1 \"Q\" <A>; B\\\\C.R+D, LABS.ACME", "\\ LEAD.SALES.ACME"}) {
        const LdapDirectory directory(tree(server->uri()));
        const auto found = directory.find(name);
        ASSERT_TRUE(found) << name << ": " << directory.lastFailure().text.toStdString();
        EXPECT_EQ(found->name, name);
        EXPECT_EQ(found->className, "User");
    }
    const LdapDirectory directory(tree(server->uri()));
    EXPECT_EQ(namesOf(directory.search("R+D, LABS.ACME", DirectoryBackend::Scope::OneLevel, "User")),
              (QStringList{"SMITH, JOHN.R+D, LABS.ACME", "#1 \"Q\" <A>; B\\\\C.R+D, LABS.ACME"}));
    EXPECT_EQ(directory.find("SMITH, JOHN.R+D, LABS.ACME")->uid, 1004u);
}

TEST_F(Ldap, FilterCharactersInANameFindThatNameAlone) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    const LdapDirectory wildcards(tree(server->uri()));
    EXPECT_FALSE(wildcards.find("*.SALES.ACME"));
    EXPECT_FALSE(wildcards.find("J*.SALES.ACME"));
    EXPECT_EQ(wildcards.lastFailure().code, 0);
    const LdapDirectory directory(tree(server->uri()));
    const auto star = directory.find("*)(UID\\=*.SALES.ACME");
    ASSERT_TRUE(star) << directory.lastFailure().text.toStdString();
    EXPECT_EQ(star->uid, 1006u);
    // Nothing else came back with it: its neighbours still need the server.
    server->stop();
    EXPECT_FALSE(directory.find("JSMITH.SALES.ACME"));
    EXPECT_EQ(directory.lastFailure().code, nw::UNABLE_TO_ATTACH);
}

TEST_F(Ldap, LeavesNamedByAnyAttributeOrHoldingADotAreFound) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    const QString sales = "ou=SALES,o=ACME," + SlapdServer::baseDn();
    ASSERT_TRUE(server->load(("dn: employeeNumber=42," + sales +
                              "\nobjectClass: inetOrgPerson\nemployeeNumber: 42\ncn: Forty Two\nsn: Two\n\n"
                              "dn: cn=j.doe," + sales + "\nobjectClass: inetOrgPerson\ncn: j.doe\nsn: Doe\n")
                                 .toUtf8()))
        << server->why().toStdString();
    const LdapDirectory directory(tree(server->uri()));
    EXPECT_EQ(directory.find("42.SALES.ACME")->surname, "Two");
    EXPECT_EQ(directory.find("J_DOE.SALES.ACME")->surname, "Doe");
    EXPECT_FALSE(directory.find("GHOST.SALES.ACME"));
}

// A subtree's names and uids are read straight through, never kept: names
// two entries share are told apart as the cache tells them apart.
TEST_F(Ldap, AListReadThroughTellsSharedNamesApartAsTheCacheDoes) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    const QString sales = "ou=SALES,o=ACME," + SlapdServer::baseDn();
    ASSERT_TRUE(server->load(("dn: cn=j.doe," + sales + "\nobjectClass: inetOrgPerson\ncn: j.doe\nsn: Doe\n\n"
                              "dn: cn=J_DOE," + sales + "\nobjectClass: inetOrgPerson\ncn: J_DOE\nsn: Under\n")
                                 .toUtf8()))
        << server->why().toStdString();
    QStringList streamed;
    for (const DirectoryBackend::Named& user :
         LdapDirectory(tree(server->uri())).named({}, DirectoryBackend::Scope::Subtree, "User"))
        streamed.append(user.name + (user.uid ? QString::number(*user.uid) : QString()));
    QStringList kept;
    for (const DirectoryObject& user :
         LdapDirectory(tree(server->uri())).search({}, DirectoryBackend::Scope::Subtree, "User"))
        kept.append(user.name + (user.uid ? QString::number(*user.uid) : QString()));
    std::sort(streamed.begin(), streamed.end());
    std::sort(kept.begin(), kept.end());
    EXPECT_EQ(streamed, kept);
    EXPECT_EQ(streamed.filter(QRegularExpression("^J_DOE\\{[0-9A-F]{8}\\}\\.SALES\\.ACME$")).size(), 2)
        << streamed.join(QLatin1Char(' ')).toStdString();
}

TEST_F(Ldap, ListedObjectsAndOwnersNeedNoRequestEach) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    const LdapDirectory directory(tree(server->uri()));
    ASSERT_EQ(directory.search({}, DirectoryBackend::Scope::Subtree, "User").size(), 6);
    server->stop();
    EXPECT_EQ(directory.find("BJONES.SALES.ACME")->givenName, "Barbara");
    EXPECT_EQ(directory.userOfUid(1004)->name, "SMITH, JOHN.R+D, LABS.ACME");
    EXPECT_FALSE(directory.userOfUid(4242));
    EXPECT_EQ(directory.lastFailure().code, 0) << directory.lastFailure().text.toStdString();
    // Anything not listed yet needs the server.
    EXPECT_TRUE(directory.search("SALES.ACME", DirectoryBackend::Scope::OneLevel, "Group").isEmpty());
    EXPECT_EQ(directory.lastFailure().code, nw::UNABLE_TO_ATTACH);
}

// --- lists longer than the server's size limit -----------------------------------

// A group's members are looked up together, a hundred to a search, not
// one search each: once fetched, the server is not needed for them.
TEST_F(Ldap, AGroupsMembersAreFetchedTogether) {
    const auto server = serve(DirectoryData::generate({.users = 250, .groups = 1}));
    ASSERT_TRUE(server);
    const LdapDirectory directory(tree(server->uri()));
    const std::optional<QStringList> members = directory.membersOf("GROUP001.ACME");
    ASSERT_TRUE(members) << directory.lastFailure().text.toStdString();
    ASSERT_EQ(members->size(), 250);
    EXPECT_EQ(directory.lastFailure().code, 0) << directory.lastFailure().text.toStdString();
    server->stop();
    for (const QString& member : *members)
        ASSERT_TRUE(directory.find(member)) << member.toStdString() << ": " << directory.lastFailure().text.toStdString();
}

TEST_F(Ldap, PagingListsEveryUserPastTheSizeLimit) {
    const auto server = serve(DirectoryData::generate({.users = 1200, .units = 3, .spreadUsers = true}),
                              {.sizeLimit = 500});
    ASSERT_TRUE(server);
    const LdapDirectory directory(tree(server->uri()));
    const QStringList users = namesOf(directory.search({}, DirectoryBackend::Scope::Subtree, "User"));
    EXPECT_EQ(users.size(), 1200);
    EXPECT_EQ(QSet<QString>(users.begin(), users.end()).size(), 1200);
    EXPECT_EQ(directory.search("UNIT002.ACME", DirectoryBackend::Scope::OneLevel, "User").size(), 400);
    EXPECT_EQ(directory.userOfUid(10000 + 1199)->name, "USER01200.UNIT003.ACME");
}

// A server that takes pages of 500 at most refuses the first one of 1,000:
// the pages get smaller until it takes them.
TEST_F(Ldap, PagesFollowTheLargestTheServerTakes) {
    const auto server = serve(DirectoryData::generate({.users = 1200, .groups = 1}), {.pageSizeLimit = 300});
    ASSERT_TRUE(server);
    const LdapDirectory directory(tree(server->uri()));
    const QStringList users = namesOf(directory.search({}, DirectoryBackend::Scope::Subtree, "User"));
    EXPECT_EQ(users.size(), 1200);
    EXPECT_EQ(directory.lastFailure().code, 0) << directory.lastFailure().text.toStdString();
    // A group of all of them: twelve look-ups asked at once, each refused its first page in turn.
    const LdapDirectory members(tree(server->uri()));
    const std::optional<QStringList> group = members.membersOf("GROUP001.ACME");
    ASSERT_TRUE(group) << members.lastFailure().text.toStdString();
    EXPECT_EQ(group->size(), 1200);
    server->stop();
    for (const QString& user : users)
        ASSERT_TRUE(members.find(user)) << user.toStdString() << ": " << members.lastFailure().text.toStdString();
}

TEST_F(Ldap, AServerCuttingPagedListsShortIsAFailureNotAShortList) {
    const auto server = serve(DirectoryData::generate({.users = 600}),
                              {.sizeLimit = 500, .pagingPassesSizeLimit = false});
    ASSERT_TRUE(server);
    const LdapDirectory directory(tree(server->uri()));
    directory.search({}, DirectoryBackend::Scope::Subtree, "User");
    EXPECT_EQ(directory.lastFailure().code, nw::UNABLE_TO_ATTACH);
    EXPECT_TRUE(directory.lastFailure().text.contains("size limit")) << directory.lastFailure().text.toStdString();
    EXPECT_FALSE(directory.userOfUid(10000 + 599));
    EXPECT_FALSE(directory.userOfUid(10000));
}

// Part of the tree held by another server: its users' space would be
// counted as no one's, so the list fails, naming where it is.
TEST_F(Ldap, AReferralInsideTheTreeIsAFailureNamingItsUrl) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    ASSERT_TRUE(server->load(("dn: ou=ELSEWHERE,o=ACME," + SlapdServer::baseDn() +
                              "\nobjectClass: referral\nobjectClass: extensibleObject\nou: ELSEWHERE\n"
                              "ref: ldap://192.0.2.7/ou=people,dc=other\n")
                                 .toUtf8()))
        << server->why().toStdString();
    const LdapDirectory directory(tree(server->uri()));
    EXPECT_TRUE(directory.search({}, DirectoryBackend::Scope::Subtree, "User").isEmpty());
    EXPECT_EQ(directory.lastFailure().code, nw::UNABLE_TO_ATTACH);
    EXPECT_TRUE(directory.lastFailure().text.contains("refers part of it to ldap://192.0.2.7/ou=people,dc=other"))
        << directory.lastFailure().text.toStdString();
}

// A server that stops answering: a request gives up after the tree's
// timeout, and at once when the run is stopped.
TEST_F(Ldap, AHungServerTimesOutAndAStopEndsTheWaitAtOnce) {
    const auto server = serve(DirectoryData::generate({.users = 10}));
    ASSERT_TRUE(server);
    TreeConfig t = tree(server->uri());
    t.timeoutSeconds = 1;
    const LdapDirectory directory(t);
    ASSERT_TRUE(directory.isContainer({})); // connected, the containers read
    server->freeze();
    EXPECT_TRUE(directory.search({}, DirectoryBackend::Scope::Subtree, "User").isEmpty());
    EXPECT_TRUE(directory.lastFailure().text.contains("no answer within 1 seconds")) << directory.lastFailure().text.toStdString();

    LdapDirectory stoppable(tree(server->uri())); // the default timeout: 30 seconds
    server->thaw();
    ASSERT_TRUE(stoppable.isContainer({}));
    server->freeze();
    std::atomic<bool> stop{false};
    int polls = 0;
    stoppable.setWaitControl(&stop, [&] { stop = ++polls == 3; }); // Stop pressed while it waits
    EXPECT_TRUE(stoppable.search({}, DirectoryBackend::Scope::Subtree, "User").isEmpty());
    EXPECT_EQ(polls, 3);
    EXPECT_TRUE(stoppable.lastFailure().text.endsWith(": stopped")) << stoppable.lastFailure().text.toStdString();
    server->thaw();
}

// --- failures and security -------------------------------------------------------

TEST_F(Ldap, AWrongBaseOrAnUnreachableServerIsSaidInWords) {
    const auto server = serve({});
    ASSERT_TRUE(server);
    TreeConfig wrongBase = tree(server->uri());
    wrongBase.baseDn = "o=WRONG";
    const LdapDirectory wrong(wrongBase);
    EXPECT_FALSE(wrong.isContainer({}));
    EXPECT_EQ(wrong.lastFailure().code, nw::ERR_NO_SUCH_ENTRY);
    EXPECT_EQ(wrong.lastFailure().text, server->uri() + ": base o=WRONG does not exist");

    const QString nowhere = QString("ldap://127.0.0.1:%1").arg(SlapdServer::freePort());
    const LdapDirectory down(tree(nowhere));
    EXPECT_FALSE(down.isContainer({}));
    EXPECT_EQ(down.lastFailure().code, nw::UNABLE_TO_ATTACH);
    EXPECT_EQ(down.lastFailure().text, nowhere + ": Can't contact LDAP server");
    EXPECT_TRUE(down.search({}, DirectoryBackend::Scope::Subtree, "User").isEmpty());
    EXPECT_EQ(down.lastFailure().code, nw::UNABLE_TO_ATTACH);
}

TEST_F(Ldap, APasswordIsNeverSentInTheClearToAnotherHost) {
    TreeConfig remote = tree("ldap://192.0.2.1"); // TEST-NET-1: nothing would ever answer
    remote.bindDn = SlapdServer::adminDn();
    remote.passwordFile = m_dir.filePath("password");
    QFile file(remote.passwordFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("admin-secret\n");
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    file.close();
    const LdapDirectory directory(remote);
    QElapsedTimer timer;
    timer.start();
    EXPECT_FALSE(directory.isContainer({}));
    EXPECT_LT(timer.elapsed(), 1000); // refused before connecting, not timed out
    EXPECT_EQ(directory.lastFailure().code, nw::UNABLE_TO_ATTACH);
    EXPECT_TRUE(directory.lastFailure().text.contains("refusing to send a password over plain ldap://"))
        << directory.lastFailure().text.toStdString();
}

TEST_F(Ldap, StartTlsAndLdapsTrustOnlyTheRightCa) {
    const auto server = serve(acmeObjects(), {.tls = true});
    ASSERT_TRUE(server);
    for (const bool startTls : {true, false}) {
        TreeConfig right = tree(startTls ? server->uri() : server->ldapsUri());
        right.startTls = startTls;
        right.caFile = server->caFile();
        TreeConfig wrong = right;
        wrong.caFile = server->otherCaFile();
        const LdapDirectory trusted(right);
        EXPECT_TRUE(trusted.isContainer("SALES.ACME")) << trusted.lastFailure().text.toStdString();
        const LdapDirectory refused(wrong);
        EXPECT_FALSE(refused.isContainer({}));
        EXPECT_EQ(refused.lastFailure().code, nw::UNABLE_TO_ATTACH);
        EXPECT_TRUE(refused.lastFailure().text.contains(server->otherCaFile()))
            << refused.lastFailure().text.toStdString();
    }
}

// --- logins -------------------------------------------------------------------------

TEST_F(Ldap, ALoginBindsAsTheUserAndGoesOnAsThem) {
    // Only a user bound as such may read uids.
    const auto server = serve(acmeObjects(), {.access = "access to attrs=userPassword by anonymous auth by * none\n"
                                                        "access to attrs=uidNumber by users read by * none\n"
                                                        "access to * by * read"});
    ASSERT_TRUE(server);
    TreeConfig config = tree(server->uri());
    config.identity = "ADMIN.ACME";
    LdapDirectory directory(config);
    EXPECT_EQ(directory.identity(), "ADMIN.ACME");
    EXPECT_EQ(directory.find("JSMITH.SALES.ACME")->uid, std::nullopt);
    ASSERT_EQ(directory.login("SMITH, JOHN.R+D, LABS.ACME", "secret"), 0) << directory.lastFailure().text.toStdString();
    EXPECT_EQ(directory.identity(), "SMITH, JOHN.R+D, LABS.ACME");
    EXPECT_EQ(directory.find("JSMITH.SALES.ACME")->uid, 1001u);
}

TEST_F(Ldap, AWrongPasswordOrUserIsRefusedAndAStoppedServerCannotBeAttached) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    LdapDirectory directory(tree(server->uri()));
    EXPECT_EQ(directory.login("JSMITH.SALES.ACME", "wrong"), nw::ERR_FAILED_AUTHENTICATION);
    EXPECT_TRUE(directory.lastFailure().text.contains("Invalid credentials")) << directory.lastFailure().text.toStdString();
    EXPECT_EQ(directory.login("GHOST.SALES.ACME", "secret"), nw::ERR_FAILED_AUTHENTICATION);
    // An empty password would bind anonymously and pass.
    EXPECT_EQ(directory.login("JSMITH.SALES.ACME", ""), nw::ERR_FAILED_AUTHENTICATION);
    EXPECT_EQ(directory.identity(), "");
    server->stop();
    EXPECT_EQ(directory.login("JSMITH.SALES.ACME", "secret"), 0x8884);
    ASSERT_TRUE(server->start()) << server->why().toStdString();
    EXPECT_EQ(directory.login("JSMITH.SALES.ACME", "secret"), 0) << directory.lastFailure().text.toStdString();
    EXPECT_EQ(directory.identity(), "JSMITH.SALES.ACME");
}

// --- through the client calls ---------------------------------------------------------

namespace {

// The answers of the calls the reports make, one line each.
class Transcript {
public:
    Transcript(NetWareClient& client, const QString& treeName) : m_client(client) {
        m_client.NWCallsInit();
        m_client.NWDSCreateContextHandle(m_context);
        m_client.NWDSSetContext(m_context, nw::DCK_TREE_NAME, treeName);
    }

    void search(const QString& base, int scope, const QString& className) {
        QStringList all;
        std::int32_t iteration = -1;
        NWDSCCODE code = 0;
        do {
            QStringList batch;
            code = m_client.NWDSSearch(m_context, base, scope, className, iteration, batch);
            all += batch;
        } while (code == 0 && iteration != -1);
        add("search " + className + " " + QString::number(scope), base, QString::number(code) + ": " + all.join('|'));
    }
    void read(const QString& name, const QString& attribute) {
        std::int32_t iteration = -1;
        QStringList values;
        const NWDSCCODE code = m_client.NWDSRead(m_context, name, attribute, iteration, values);
        add("read " + attribute, name, QString::number(code) + ": " + values.join('|'));
    }
    void mapName(const QString& name) {
        std::uint32_t id = 0;
        const NWDSCCODE code = m_client.NWDSMapNameToID(m_context, 0, name, id);
        add("id", name, QString::number(code) + ": " + QString::number(id));
    }
    void mapId(std::uint32_t id) {
        QString name;
        const NWDSCCODE code = m_client.NWDSMapIDToName(m_context, 0, id, name);
        add("name", QString::number(id), QString::number(code) + ": " + name);
    }
    void listContainers(const QString& container) {
        std::int32_t iteration = -1;
        QList<ContainerEntry> entries;
        const NWDSCCODE code = m_client.NWDSListContainers(m_context, container, iteration, entries);
        QStringList names;
        for (const ContainerEntry& entry : entries)
            names.append(entry.name + " " + entry.baseClass);
        add("containers", container, QString::number(code) + ": " + names.join('|'));
    }
    const QStringList& lines() const { return m_lines; }

private:
    void add(const QString& call, const QString& subject, const QString& answer) {
        m_lines.append(call + " " + subject + " -> " + answer);
    }

    NetWareClient& m_client;
    NWDSContextHandle m_context = 0;
    QStringList m_lines;
};

QStringList transcriptOf(NetWareClient& client, const QString& treeName) {
    Transcript t(client, treeName);
    t.search("[Root]", 2, "User");
    t.search("[Root]", 2, "");
    t.search("SALES.ACME.", 1, "Group");
    t.search(".R+D, LABS.ACME", 1, "User");
    t.search("[Root]", 2, "NCP Server");
    t.search("GHOST.ACME", 2, "User");
    t.read("STAFF.SALES.ACME", "Member");
    t.read("STAFF.SALES.ACME", "Full Name");
    t.read("EMPTY.SALES.ACME", "Member");
    t.read("JSMITH.SALES.ACME", "Full Name");
    t.read("BJONES.SALES.ACME", "Given Name");
    t.read("BJONES.SALES.ACME", "Surname");
    t.read("BJONES.SALES.ACME", "Full Name");
    t.read("GHOST.ACME", "Full Name");
    for (const char* name : {"JSMITH.SALES.ACME.", "SMITH, JOHN.R+D, LABS.ACME", "STAFF.SALES.ACME", "GHOST.ACME"})
        t.mapName(name);
    for (const std::uint32_t id : {1002u, 1005u, 4242u})
        t.mapId(id);
    for (const char* container : {"[Root]", "ACME.", "US", "SALES.ACME", "GHOST.ACME"})
        t.listContainers(container);
    return t.lines();
}

} // namespace

// Run as root, the service password comes only from a file no one else can
// read or change; otherwise the tree is not bound and the reason says why.
TEST_F(Ldap, AsRootAPasswordFileOthersCanReadIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the check is made for root";
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    TreeConfig t = boundTree(*server);
    t.passwordFile = server->adminPasswordFile();
    EXPECT_TRUE(LdapDirectory(t).isContainer({}));
    const QByteArray path = QFile::encodeName(t.passwordFile);
    ASSERT_EQ(::chmod(path.constData(), 0644), 0);
    LdapDirectory readable(t);
    EXPECT_FALSE(readable.isContainer({}));
    EXPECT_TRUE(readable.lastFailure().text.contains("can be read or changed by others (mode 644)"))
        << readable.lastFailure().text.toStdString();
    ASSERT_EQ(::chmod(path.constData(), 0600), 0);
    ASSERT_EQ(::chown(path.constData(), 1234, 1234), 0);
    LdapDirectory foreign(t);
    EXPECT_FALSE(foreign.isContainer({}));
    EXPECT_TRUE(foreign.lastFailure().text.contains("belongs to uid 1234, not root")) << foreign.lastFailure().text.toStdString();
}

// So must every folder from "/" down to it; a symbolic link is judged by the
// file it leads to.
TEST_F(Ldap, AsRootAPasswordFileInAFolderOthersCanChangeIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "the check is made for root";
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    TreeConfig t = boundTree(*server);
    const auto failure = [&](const QString& passwordFile) {
        t.passwordFile = passwordFile;
        LdapDirectory directory(t);
        return directory.isContainer({}) ? QString() : directory.lastFailure().text;
    };
    const QString base = QFileInfo(m_dir.path()).canonicalFilePath();
    // A copy of the password in <name>/pw/, <name> made with that mode and owner.
    const auto folder = [&](const QString& name, mode_t mode, uid_t owner) {
        const QString path = base + "/" + name;
        const QByteArray native = QFile::encodeName(path);
        EXPECT_TRUE(QDir().mkpath(path + "/pw"));
        EXPECT_TRUE(QFile::copy(server->adminPasswordFile(), path + "/pw/password"));
        EXPECT_EQ(::chown(native.constData(), owner, owner), 0);
        EXPECT_EQ(::chmod(native.constData(), mode), 0);
        return path;
    };
    const QString theirs = folder("theirs", 0755, 4242);
    const QString sticky = folder("sticky", 01777, 0);
    EXPECT_TRUE(failure(theirs + "/pw/password").contains("its folder " + theirs + " belongs to uid 4242, not root"))
        << failure(theirs + "/pw/password").toStdString();
    EXPECT_TRUE(failure(sticky + "/pw/password").contains("its folder " + sticky + " can be written by everyone (mode 1777)"))
        << failure(sticky + "/pw/password").toStdString();
    ASSERT_TRUE(QFile::link(server->adminPasswordFile(), base + "/good.link"));
    ASSERT_TRUE(QFile::link(sticky + "/pw/password", base + "/sticky.link"));
    EXPECT_EQ(failure(base + "/good.link"), QString());
    EXPECT_TRUE(failure(base + "/sticky.link").contains("its folder " + sticky + " can be written"))
        << failure(base + "/sticky.link").toStdString();
}

TEST_F(Ldap, TheClientCallsAnswerAsOnAnInlineTreeWithTheSameObjects) {
    const auto server = serve(acmeObjects());
    ASSERT_TRUE(server);
    Site site;
    TreeConfig ldapTree = tree(server->uri());
    // Bound as a service account: a password, over loopback.
    ldapTree.bindDn = SlapdServer::adminDn();
    ldapTree.passwordFile = server->adminPasswordFile();
    TreeConfig inlineTree;
    inlineTree.name = "INLINE_TREE";
    inlineTree.objects = acmeObjects();
    site.trees = {ldapTree, inlineTree};
    NetWareClient ldapClient(site);
    NetWareClient inlineClient(site);
    const QStringList overLdap = transcriptOf(ldapClient, "LDAP_TREE");
    const QStringList inlined = transcriptOf(inlineClient, "INLINE_TREE");
    EXPECT_EQ(overLdap.join('\n').toStdString(), inlined.join('\n').toStdString());
    EXPECT_TRUE(overLdap.contains("read Member STAFF.SALES.ACME -> 0: JSMITH.SALES.ACME|BJONES.SALES.ACME"))
        << overLdap.join('\n').toStdString();
    EXPECT_TRUE(overLdap.contains("name 1005 -> 0: #1 \"Q\" <A>; B\\\\C.R+D, LABS.ACME"));
}
