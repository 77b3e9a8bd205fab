// Owner reports from the quarvo executable on an inline tree with real files.
#include "directory_data.h"
#include "root_safe_folder.h"
#include "slapd_server.h"
#include "text_files.h"
#include "tree_builder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QThread>
#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <memory>

#include <unistd.h>

namespace {

class OwnerCommandLine : public ::testing::Test {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "owners need chown, which needs root";
        const QString vol = dir.path() + "/vol1";
        QDir().mkpath(vol + "/users");
        writeFile(vol + "/users/j.dat", 1048576, 1001); // 256 blocks
        writeFile(vol + "/users/b.dat", 3 * 1048576, 1002);
        writeFile(vol + "/lost.dat", 2 * 1048576, 4242);
        QFile site(dir.path() + "/site.toml");
        ASSERT_TRUE(site.open(QIODevice::WriteOnly));
        site.write(QString("[[tree]]\nname = \"ACME_TREE\"\ndirectory = \"inline\"\n\n[tree.objects]\n"
                           "\"ACME\" = { class = \"Organization\" }\n"
                           "\"SALES.ACME\" = { class = \"Organizational Unit\" }\n"
                           "\"JSMITH.SALES.ACME\" = { class = \"User\", uid = 1001 }\n"
                           "\"BJONES.ACME\" = { class = \"User\", uid = 1002 }\n"
                           "\"STAFF.SALES.ACME\" = { class = \"Group\", members = [\"JSMITH.SALES.ACME\", "
                           "\"BJONES.ACME\"] }\n"
                           "\"FS1.ACME\" = { class = \"NCP Server\" }\n\n"
                           "[[server]]\nname = \"FS1\"\nvolumes = { VOL1 = \"%1\" }\n")
                       .arg(vol)
                       .toUtf8());
    }

    static void writeFile(const QString& path, qint64 bytes, uid_t owner) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(bytes, 'q'));
        file.close();
        ASSERT_EQ(::chown(QFile::encodeName(path).constData(), owner, owner), 0);
    }

    // Result lines without the run date.
    QStringList run(const QString& ownerSwitches, bool keepOutput = false) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUARVO_SITE", dir.path() + "/site.toml");
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        p.setProcessEnvironment(env);
        const QString out = dir.path() + "/owners.csv";
        if (!keepOutput)
            QFile::remove(out);
        const QStringList tree = ownerSwitches.startsWith("/T=") ? QStringList{} : QStringList{"/T=ACME_TREE"};
        p.start(QUARVO_BINARY, tree + QStringList{"/F=OWNER", "/S=FS1", "/V=VOL1"} + ownerSwitches.split(' ') +
                                   QStringList{"/HEADINGS", "/OUTFILE=" + out});
        p.waitForFinished(60000);
        status = p.exitCode();
        errors = QString::fromUtf8(p.readAllStandardError());
        QStringList lines;
        for (const QString& line : readCrlfLines(out))
            lines.append(line.section(',', 1));
        return lines;
    }

    QTemporaryDir dir{rootSafeTemplate()};
    int status = -1;
    QString errors;
};

} // namespace

TEST_F(OwnerCommandLine, AllOwnersWithSubContainers) {
    const QStringList lines = run("/C=ACME_TREE\\ACME /OWNER=ALL+SUB");
    ASSERT_EQ(status, 0) << errors.toStdString();
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], "Server,Volume,Owner,Used Space(MB)");
    EXPECT_TRUE(lines[1].startsWith("FS1,VOL1,[Supervisor],"));
    EXPECT_EQ(lines[2], "FS1,VOL1,[No Owner],2.00");
    EXPECT_EQ(lines[3], "FS1,VOL1,JSMITH.SALES.ACME,1.00");
    EXPECT_EQ(lines[4], "FS1,VOL1,BJONES.ACME,3.00");
}

// Owners come from the run's tree even when it holds no object for the server
// and is not the workstation's default tree; "[Root]" named is the whole tree.
TEST_F(OwnerCommandLine, TheRunsTreeOwnsTheFilesWhereverItIsNamed) {
    const QStringList expected = run("/C=ACME_TREE\\ACME /OWNER=ALL+SUB");
    ASSERT_EQ(expected.size(), 5);
    EXPECT_EQ(run("/C=ACME_TREE\\[Root] /OWNER=ALL+SUB"), expected) << errors.toStdString();
    EXPECT_EQ(run("/C=acme_tree\\[root] /OWNER=ALL+SUB"), expected);
    QFile site(dir.path() + "/site.toml");
    ASSERT_TRUE(site.open(QIODevice::ReadOnly));
    QByteArray text = site.readAll().replace("\"FS1.ACME\" = { class = \"NCP Server\" }\n", "");
    site.close();
    ASSERT_TRUE(site.open(QIODevice::WriteOnly | QIODevice::Truncate));
    site.write(text);
    site.close();
    EXPECT_EQ(run("/OWNER=ALL+SUB"), expected) << errors.toStdString();
}

TEST_F(OwnerCommandLine, AnImportOfTheVolumesScanGivesTheRowsOfItsWalk) {
    const QString scan = dir.path() + "/vol1.json";
    ASSERT_TRUE(TreeBuilder::ncduExport(dir.path() + "/vol1", scan));
    const QStringList walked = run("/C=ACME_TREE\\ACME /OWNER=ALL+SUB");
    ASSERT_EQ(walked.size(), 5);
    EXPECT_EQ(run("/C=ACME_TREE\\ACME /OWNER=ALL+SUB /IMPORT=" + scan), walked) << errors.toStdString();
    EXPECT_EQ(status, 0);
}

TEST_F(OwnerCommandLine, AllOwnersWithoutSubContainers) {
    const QStringList lines = run("/C=ACME_TREE\\ACME /OWNER=ALL - SUB");
    ASSERT_EQ(status, 0) << errors.toStdString();
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[3], "FS1,VOL1,BJONES.ACME,3.00");
}

TEST_F(OwnerCommandLine, OneUserOfTheContainer) {
    const QStringList lines = run("/C=ACME_TREE\\ACME\\SALES /OWNER=jsmith");
    ASSERT_EQ(status, 0) << errors.toStdString();
    EXPECT_EQ(lines, (QStringList{"Server,Volume,Owner,Used Space(MB)", "FS1,VOL1,JSMITH.SALES.ACME,1.00"}));
}

TEST_F(OwnerCommandLine, AUserTheContainerDoesNotHoldIsRefused) {
    const QStringList lines = run("/C=ACME_TREE\\ACME\\SALES /OWNER=BJONES");
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(errors.contains("There is no user BJONES in ACME_TREE\\ACME\\SALES")) << errors.toStdString();
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(OwnerCommandLine, TheMembersOfAGroup) {
    const QStringList lines = run("/C=ACME_TREE\\ACME\\SALES /OWNER=GROUP=staff");
    ASSERT_EQ(status, 0) << errors.toStdString();
    EXPECT_EQ(lines, (QStringList{"Server,Volume,Owner,Used Space(MB)", "FS1,VOL1,JSMITH.SALES.ACME,1.00",
                                  "FS1,VOL1,BJONES.ACME,3.00"}));
}

// A dotted context passed the check and then found no one (exit 0).
TEST_F(OwnerCommandLine, ADottedContainerIsRefusedNamingItsTreePath) {
    for (const QString& typed : {"SALES.ACME", "ACME_TREE\\SALES.ACME"}) {
        EXPECT_TRUE(run("/C=" + typed + " /OWNER=ALL-SUB").isEmpty());
        EXPECT_EQ(status, 1);
        EXPECT_EQ(errors, "quarvo: /C= takes a tree path, the tree and its containers from the top down, such as "
                          "ACME_TREE\\ACME\\SALES; " + typed + " is not one.\n");
    }
}

TEST_F(OwnerCommandLine, AGroupTheContainerDoesNotHoldIsRefused) {
    const QStringList lines = run("/C=ACME_TREE\\ACME\\SALES /OWNER=GROUP=NOBODY");
    EXPECT_EQ(status, 1);
    EXPECT_EQ(errors, "quarvo: There is no group NOBODY in ACME_TREE\\ACME\\SALES (groups: STAFF).\n");
    EXPECT_TRUE(lines.isEmpty());
}

TEST_F(OwnerCommandLine, UnknownServerVolumeOrContainerIsRefusedWithWhatExists) {
    EXPECT_TRUE(run("/OWNER=ALL+SUB").size() > 1);
    const struct {
        QStringList args;
        QString message;
    } cases[] = {
        {{"/T=ACME_TREE", "/F=OWNER", "/S=FS9", "/V=VOL1", "/OWNER=ALL+SUB"}, "There is no server FS9 (servers: "},
        {{"/T=ACME_TREE", "/F=OWNER", "/S=FS1", "/V=VOL9", "/OWNER=ALL+SUB"},
         "There is no volume VOL9 on server FS1 (volumes: VOL1)."},
        {{"/T=ACME_TREE", "/F=OWNER", "/S=FS1", "/V=VOL1", "/C=ACME_TREE\\NORTH", "/OWNER=ALL+SUB"},
         "There is no container ACME_TREE\\NORTH (containers: ACME_TREE\\ACME, ACME_TREE\\ACME\\SALES)."},
    };
    for (const auto& c : cases) {
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUARVO_SITE", dir.path() + "/site.toml");
        p.setProcessEnvironment(env);
        p.start(QUARVO_BINARY, c.args);
        p.waitForFinished(60000);
        EXPECT_EQ(p.exitCode(), 1) << c.message.toStdString();
        const QString err = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(err.contains(c.message)) << err.toStdString();
        EXPECT_FALSE(err.contains("Process")) << err.toStdString(); // nothing ran
    }
}

TEST_F(OwnerCommandLine, WithoutAContainerTheWholeTreeIsSearched) {
    const QStringList lines = run("/OWNER=ALL+SUB");
    ASSERT_EQ(status, 0) << errors.toStdString();
    EXPECT_EQ(lines.size(), 5);
}

// Without /C= a single user or group is looked for in every container of the tree.
TEST_F(OwnerCommandLine, WithoutAContainerAUserOrGroupIsFoundAnywhereInTheTree) {
    EXPECT_EQ(run("/OWNER=JSMITH"), (QStringList{"Server,Volume,Owner,Used Space(MB)", "FS1,VOL1,JSMITH.SALES.ACME,1.00"}))
        << errors.toStdString();
    EXPECT_EQ(status, 0);
    const QStringList group = run("/OWNER=GROUP=STAFF");
    EXPECT_EQ(status, 0) << errors.toStdString();
    EXPECT_EQ(group.size(), 3);
    EXPECT_TRUE(run("/OWNER=NOBODY").isEmpty());
    EXPECT_EQ(status, 1);
}

// The same Owner reports from a tree on a real slapd and from an inline tree
// holding the same objects: the rows must not differ.
namespace {

class LdapOwnerRuns : public OwnerCommandLine {
protected:
    void SetUp() override {
        if (::geteuid() != 0)
            GTEST_SKIP() << "owners need chown, which needs root";
        if (!SlapdServer::available())
            GTEST_SKIP() << "slapd is not installed";
        DirectoryData::Shape shape;
        shape.users = users;
        shape.groups = 2;
        shape.units = 2;
        shape.spreadUsers = true;
        objects = DirectoryData::generate(shape);
        // No tree holds the server's object and neither is the default tree:
        // the owners must still come from the tree of the run.
        objects.removeIf([](const DirectoryObject& o) { return o.className == "NCP Server"; });
        slapd = std::make_unique<SlapdServer>(dir.path() + "/slapd", options);
        ASSERT_TRUE(slapd->running()) << slapd->why().toStdString();
        ASSERT_TRUE(slapd->load(DirectoryData::ldif(objects, SlapdServer::baseDn()))) << slapd->why().toStdString();
        const QString vol = dir.path() + "/vol1";
        QDir().mkpath(vol);
        for (std::uint32_t i = 0; i < 4; ++i)
            writeFile(vol + QString("/u%1.dat").arg(i), (i + 1) * 1048576, shape.firstUid + i);
        writeFile(vol + "/lost.dat", 2 * 1048576, 4242);
        inlineTree = "[[tree]]\nname = \"INLINE_TREE\"\n" + DirectoryData::toml(objects) + "\n";
        server = QString("[[server]]\nname = \"FS1\"\nvolumes = { VOL1 = \"%1\" }\n").arg(vol);
        writeSite(slapd->uri(), SlapdServer::baseDn());
    }

    void writeSite(const QString& uri, const QString& base) {
        QFile site(dir.path() + "/site.toml");
        ASSERT_TRUE(site.open(QIODevice::WriteOnly | QIODevice::Truncate));
        site.write((inlineTree + QString("[[tree]]\nname = \"LDAP_TREE\"\ndirectory = \"ldap\"\nuri = \"%1\"\n"
                                         "base = \"%2\"\nschema = \"openldap\"\n\n")
                                     .arg(uri, base) +
                    server)
                       .toUtf8());
    }

    QStringList runOn(const QString& tree, const QString& switches) {
        QStringList lines = run("/T=" + tree + " " + switches);
        EXPECT_EQ(status, 0) << tree.toStdString() << " " << switches.toStdString() << ": " << errors.toStdString();
        return lines;
    }

    std::unique_ptr<SlapdServer> slapd;
    QString inlineTree, server;
    int users = 4;
    SlapdOptions options;
    QList<DirectoryObject> objects;
};

// OpenLDAP as installed: a size limit of 500 that paged searches do not pass.
class LdapOwnerLimits : public LdapOwnerRuns {
protected:
    LdapOwnerLimits() {
        users = 600;
        options.sizeLimit = 500;
        options.pagingPassesSizeLimit = false;
    }
};

// Enough users that a run takes a while: the server can be killed part-way.
class LdapOwnerKills : public LdapOwnerRuns {
protected:
    LdapOwnerKills() { users = 3000; }
};

} // namespace

TEST_F(LdapOwnerRuns, GiveTheRowsOfAnInlineTreeWithTheSameObjects) {
    for (const QString& switches : {"/OWNER=ALL+SUB", "/C=%1\\[Root] /OWNER=ALL+SUB", "/C=%1\\ACME\\UNIT002 /OWNER=ALL-SUB",
                                    "/OWNER=USER00003", "/OWNER=GROUP=GROUP001"}) {
        const QStringList fromInline = runOn("INLINE_TREE", switches.arg("INLINE_TREE"));
        EXPECT_GE(fromInline.size(), 2) << switches.toStdString();
        EXPECT_EQ(runOn("LDAP_TREE", switches.arg("LDAP_TREE")), fromInline) << switches.toStdString();
    }
    const QStringList all = runOn("LDAP_TREE", "/OWNER=ALL+SUB");
    EXPECT_TRUE(all.contains("FS1,VOL1,[No Owner],2.00")) << all.join('\n').toStdString();
    EXPECT_EQ(runOn("LDAP_TREE", "/C=LDAP_TREE\\[Root] /OWNER=ALL+SUB"), all);
}

// A member whose entry is gone owns nothing: before, it was given the
// figure of all unowned space.
TEST_F(LdapOwnerRuns, AMemberNoLongerInTheDirectoryIsNamedAndGetsNoFigure) {
    DirectoryObject stale;
    stale.name = "STALE.ACME";
    stale.className = "Group";
    stale.members = {"USER00001.UNIT001.ACME", "GHOST.UNIT001.ACME"};
    ASSERT_TRUE(slapd->load(DirectoryData::ldif({stale}, SlapdServer::baseDn(), objects))) << slapd->why().toStdString();
    const QStringList lines = runOn("LDAP_TREE", "/C=LDAP_TREE\\ACME /OWNER=GROUP=STALE");
    EXPECT_EQ(lines, (QStringList{"Server,Volume,Owner,Used Space(MB)", "FS1,VOL1,USER00001.UNIT001.ACME,1.00"}));
    EXPECT_TRUE(errors.contains("no longer in the directory and were left out: GHOST.UNIT001.ACME")) << errors.toStdString();
}

// Entries whose names look alike (an "=" or "\\" in a value, "." against
// "_", uid=bob beside cn=BOB, a multi-valued RDN, "ß" against "SS", a blank
// at the end) each keep their own space in a row of their own; a name two
// entries share is refused, naming both.
TEST_F(LdapOwnerRuns, NamesThatLookAlikeKeepTheirOwnSpace) {
    const QString ou = "ou=ODD,o=ACME," + SlapdServer::baseDn();
    const QList<QStringList> entries = {
        {"cn=L\\=London", "cn: L=London"}, {"cn=London", "cn: London"},   {"cn=dot.ted", "cn: dot.ted"},
        {"cn=dot_ted", "cn: dot_ted"},     {"uid=bob", "cn: Bobby"},       {"cn=BOB", "cn: BOB"},
        {"cn=stra\\C3\\9Fe", "cn:: c3RyYcOfZQ=="}, {"cn=STRASSE", "cn: STRASSE"}, {"cn=a+sn=b", "cn: a\nsn: b"},
        {"cn=a\\+b", "cn: a+b"},          {"cn=trail\\20", "cn:: dHJhaWwg"}, {"cn=back\\5Cslash", "cn: back\\slash"}};
    QString ldif = "dn: " + ou + "\nobjectClass: organizationalUnit\nou: ODD\n\n";
    for (int i = 0; i < entries.size(); ++i) {
        const QString uid = entries[i][0] == "uid=bob" ? "bob" : QString("odd%1").arg(i);
        ldif += QString("dn: %1,%2\nobjectClass: inetOrgPerson\nobjectClass: posixAccount\n%3\nsn: x\nuid: %4\n"
                        "uidNumber: %5\ngidNumber: 100\nhomeDirectory: /home/odd\n\n")
                    .arg(entries[i][0], ou, entries[i][1], uid, QString::number(6000 + i));
        writeFile(dir.path() + QString("/vol1/odd%1.dat").arg(i), (i + 1) * 1048576, 6000 + i);
    }
    ASSERT_TRUE(slapd->load(ldif.toUtf8())) << slapd->why().toStdString();
    const QStringList lines = runOn("LDAP_TREE", "/C=LDAP_TREE\\ACME\\ODD /OWNER=ALL-SUB");
    QStringList names;
    QList<int> megabytes;
    for (const QString& row : lines.mid(1)) {
        if (row.contains(",[No Owner],") || row.contains(",[Supervisor],"))
            continue;
        const qsizetype comma = row.lastIndexOf(',');
        names.append(row.mid(9, comma - 9));
        megabytes.append(row.mid(comma + 1).toDouble());
    }
    std::sort(megabytes.begin(), megabytes.end());
    EXPECT_EQ(megabytes, QList<int>({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12})) << lines.join('\n').toStdString();
    EXPECT_EQ(QSet<QString>(names.begin(), names.end()).size(), 12) << lines.join('\n').toStdString();
    for (const QString& name : {"L\\=LONDON.ODD.ACME", "LONDON.ODD.ACME", "STRAßE.ODD.ACME", "STRASSE.ODD.ACME",
                                "TRAIL\\ .ODD.ACME", "BACK\\\\SLASH.ODD.ACME"})
        EXPECT_TRUE(names.contains(name)) << name.toStdString() << " in " << lines.join('\n').toStdString();
    // A group listing both look-alikes: each member is the entry its DN names, with its own space.
    ASSERT_TRUE(slapd->load(("dn: cn=PAIR," + ou + "\nobjectClass: groupOfNames\ncn: PAIR\nmember: uid=bob," + ou +
                             "\nmember: cn=BOB," + ou + "\n")
                                .toUtf8()))
        << slapd->why().toStdString();
    const QStringList pair = runOn("LDAP_TREE", "/C=LDAP_TREE\\ACME\\ODD /OWNER=GROUP=PAIR").mid(1);
    ASSERT_EQ(pair.size(), 2) << pair.join('\n').toStdString();
    EXPECT_NE(pair[0].section(',', 2, 2), pair[1].section(',', 2, 2));
    QStringList pairFigures{pair[0].section(',', 3), pair[1].section(',', 3)};
    pairFigures.sort();
    EXPECT_EQ(pairFigures, QStringList({"5.00", "6.00"})) << pair.join('\n').toStdString();
    EXPECT_EQ(runOn("LDAP_TREE", "/C=LDAP_TREE\\ACME\\ODD /OWNER=STRAßE").value(1), "FS1,VOL1,STRAßE.ODD.ACME,7.00");
    EXPECT_TRUE(run("/T=LDAP_TREE /C=LDAP_TREE\\ACME\\ODD /OWNER=BOB").isEmpty());
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(errors.contains(QRegularExpression("BOB is the name of 2 users in .*ODD; name one of them: "
                                                   "BOB\\{[0-9A-F]{8}\\}, BOB\\{[0-9A-F]{8}\\}")))
        << errors.toStdString();
}

// A server that hangs before or during the run: Ctrl-C ends it at once as
// a stop (exit 3), whichever look-up it waits in, and writes nothing.
TEST_F(LdapOwnerRuns, CtrlCWhileTheServerHangsStopsTheRunAtOnce) {
    const QString out = dir.path() + "/owners.csv";
    for (const QString& owner : {"/OWNER=ALL+SUB", "/C=LDAP_TREE\\ACME /OWNER=GROUP=GROUP001", "/OWNER=USER00003"}) {
        QFile::remove(out);
        slapd->freeze();
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QUARVO_SITE", dir.path() + "/site.toml");
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        p.setProcessEnvironment(env);
        p.start(QUARVO_BINARY, QStringList{"/T=LDAP_TREE", "/F=OWNER", "/S=FS1", "/V=VOL1", "/OUTFILE=" + out} +
                                   owner.split(' '));
        ASSERT_TRUE(p.waitForStarted());
        QThread::msleep(1500);
        ::kill(pid_t(p.processId()), SIGINT);
        QElapsedTimer stopping;
        stopping.start();
        EXPECT_TRUE(p.waitForFinished(10000)) << owner.toStdString();
        EXPECT_LT(stopping.elapsed(), 10000);
        // A stop (3); on a loaded machine the frozen server's queue may refuse the
        // connection first, which is a failure with its reason (1): never a hang.
        const QString said = QString::fromUtf8(p.readAllStandardError());
        EXPECT_TRUE(p.exitCode() == 3 || (p.exitCode() == 1 && said.contains("Can't contact LDAP server")))
            << owner.toStdString() << ": " << p.exitCode() << " " << said.toStdString();
        EXPECT_FALSE(QFile::exists(out)) << owner.toStdString();
        slapd->thaw();
    }
}

// The server killed at some point of each Owner form: the run gives the
// whole report, or exit 1 with the reason and the previous file untouched;
// never part of a report with exit 0.
TEST_F(LdapOwnerKills, AServerKilledPartWayGivesTheWholeReportOrNone) {
#if defined(__SANITIZE_ADDRESS__)
    // Not yet traced to our calls or to the library's own error path.
    GTEST_SKIP() << "a server dying part-way leaves 117 bytes allocated by liblber that LeakSanitizer reports";
#endif
    const QString out = dir.path() + "/owners.csv";
    for (const QString& owner : {"/OWNER=ALL+SUB", "/C=LDAP_TREE\\ACME /OWNER=GROUP=GROUP001", "/OWNER=USER00003"}) {
        const QStringList whole = runOn("LDAP_TREE", owner);
        for (const int afterMs : {20, 60, 120, 250}) {
            QFile previous(out);
            ASSERT_TRUE(previous.open(QIODevice::WriteOnly | QIODevice::Truncate));
            previous.write("yesterday\r\n");
            previous.close();
            QProcess p;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("QUARVO_SITE", dir.path() + "/site.toml");
            env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
            p.setProcessEnvironment(env);
            p.start(QUARVO_BINARY, QStringList{"/T=LDAP_TREE", "/F=OWNER", "/S=FS1", "/V=VOL1", "/HEADINGS",
                                               "/OUTFILE=" + out} + owner.split(' '));
            QThread::msleep(afterMs);
            slapd->stop();
            ASSERT_TRUE(p.waitForFinished(60000));
            const QString said = QString::fromUtf8(p.readAllStandardError());
            QStringList lines;
            for (const QString& line : readCrlfLines(out))
                lines.append(line.section(',', 1));
            if (p.exitCode() == 0) {
                EXPECT_EQ(lines, whole) << owner.toStdString() << " after " << afterMs << " ms";
            } else {
                EXPECT_EQ(p.exitCode(), 1) << owner.toStdString() << ": " << said.toStdString();
                EXPECT_EQ(readCrlfLines(out), QStringList{"yesterday"}) << owner.toStdString() << " after " << afterMs;
                EXPECT_TRUE(said.contains(slapd->uri() + ": ")) << said.toStdString(); // names the server
            }
            ASSERT_TRUE(slapd->start()) << slapd->why().toStdString();
        }
    }
}

TEST_F(LdapOwnerRuns, ADirectoryThatCannotBeReadGivesItsReasonAndNoReport) {
    const QString out = dir.path() + "/owners.csv";
    writeSite(slapd->uri(), "o=WRONG");
    EXPECT_TRUE(run("/T=LDAP_TREE /OWNER=ALL+SUB").isEmpty());
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(errors.contains("o=WRONG")) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(out));
    slapd->stop();
    writeSite(slapd->uri(), SlapdServer::baseDn());
    EXPECT_TRUE(run("/T=LDAP_TREE /OWNER=ALL+SUB").isEmpty());
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(errors.contains("Can't contact LDAP server")) << errors.toStdString();
    EXPECT_FALSE(QFile::exists(out));
}

// The containers fit, the users do not: the run is refused with the reason
// and the previous report stays, never a report of the users that fitted.
TEST_F(LdapOwnerLimits, AUserListTheServerCutsShortIsNoReport) {
    const QString out = dir.path() + "/owners.csv";
    QFile previous(out);
    ASSERT_TRUE(previous.open(QIODevice::WriteOnly));
    previous.write("yesterday\r\n");
    previous.close();
    EXPECT_TRUE(run("/T=LDAP_TREE /OWNER=ALL+SUB", true) == QStringList{""}) << errors.toStdString();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(errors.contains("size limit")) << errors.toStdString();
    EXPECT_TRUE(errors.contains("Nothing was written")) << errors.toStdString();
    EXPECT_EQ(readCrlfLines(out), QStringList{"yesterday"});
}

// Below one container only its users are read, and of the others only the
// uids the volume holds: the tree's 600 users need not fit the size limit.
TEST_F(LdapOwnerLimits, AContainerRunReadsOnlyWhatItNeeds) {
    const QStringList lines = runOn("LDAP_TREE", "/C=LDAP_TREE\\ACME\\UNIT002 /OWNER=ALL-SUB");
    EXPECT_TRUE(lines.contains("FS1,VOL1,USER00002.UNIT002.ACME,2.00")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("FS1,VOL1,USER00004.UNIT002.ACME,4.00")) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains("FS1,VOL1,[No Owner],2.00")) << lines.join('\n').toStdString();
}
