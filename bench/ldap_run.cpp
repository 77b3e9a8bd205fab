// bench/ldap_compare.sh runs it: a slapd holding 10,000 users, 500 groups, 50
// units and a unit of 1,000 sub-containers (size limit 500), timed against an
// inline tree holding the same objects.
//
// With --large: a slapd holding 100,000 users in 200 units and 2,000 groups
// (one of 20,000 members), where quarvo's Owner runs are timed against
// ldapsearch reading the same entries, wall time and peak memory of each.
//
//   ldap_run <work folder> [users]
//   ldap_run <work folder> --large
#include "directory_data.h"
#include "slapd_server.h"

#include "netware/client/netware_client.h"
#include "netware/client/site_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <cstdio>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kOwnerRuns = 5;
constexpr int kVolumeFiles = 300;

void say(const QString& text) {
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size();
}

// Files of 100 KB owned by users spread over the uids (as root), so the
// Owner report has a row for each of them.
bool makeVolume(const QString& root, std::uint32_t firstUid, int users) {
    if (!QDir().mkpath(root))
        return false;
    const QByteArray data(100 * 1024, 'x');
    for (int i = 0; i < kVolumeFiles; ++i) {
        const QString path = root + QStringLiteral("/file%1").arg(i);
        if (!writeFile(path, data))
            return false;
        if (::geteuid() == 0 && ::chown(QFile::encodeName(path).constData(), firstUid + (i * 37) % users, 100) != 0)
            return false;
    }
    return true;
}

QString siteText(const SlapdServer& server, const QList<DirectoryObject>& objects, const QString& volume) {
    return server.siteTree(QStringLiteral("LDAP_TREE")) +
           QStringLiteral("default = true\n\n[[tree]]\nname = \"INLINE_TREE\"\n%1\n"
                          "[[server]]\nname = \"FS1\"\nvolumes = { VOL1 = \"%2\" }\n")
               .arg(DirectoryData::toml(objects), volume);
}

struct Client {
    explicit Client(const Site& site, const QString& tree) : client(site) {
        client.NWCallsInit();
        client.NWDSCreateContextHandle(context);
        client.NWDSSetContext(context, nw::DCK_TREE_NAME, tree);
    }
    NetWareClient client;
    NWDSContextHandle context = 0;
};

// Every user below [Root] with sub-containers, all batches, on a client that
// has not asked the directory yet.
void timeListing(const Site& site, const QString& tree) {
    Client c(site, tree);
    QElapsedTimer timer;
    timer.start();
    qsizetype users = 0;
    std::int32_t iteration = -1;
    do {
        QStringList batch;
        if (c.client.NWDSSearch(c.context, QStringLiteral("[Root]"), 2, QStringLiteral("User"), iteration, batch) != 0)
            break;
        users += batch.size();
    } while (iteration != -1);
    say(QStringLiteral("  %1: %2 users listed in %3 ms").arg(tree).arg(users).arg(timer.elapsed()));
}

qint64 listContainers(Client& c, const QString& container, qsizetype& count) {
    QElapsedTimer timer;
    timer.start();
    count = 0;
    std::int32_t iteration = -1;
    do {
        QList<ContainerEntry> entries;
        if (c.client.NWDSListContainers(c.context, container, iteration, entries) != 0)
            break;
        count += entries.size();
    } while (iteration != -1);
    return timer.elapsed();
}

void timeContainers(const Site& site, const QString& tree) {
    Client c(site, tree);
    qsizetype count = 0;
    const qint64 cold = listContainers(c, QStringLiteral("MANY.ACME"), count);
    const qint64 warm = listContainers(c, QStringLiteral("MANY.ACME"), count);
    say(QStringLiteral("  %1: %2 containers of MANY.ACME in %3 ms (first call, connecting), %4 ms after")
            .arg(tree).arg(count).arg(cold).arg(warm));
}

// The median of a few command-line Owner runs, and the file the last one wrote.
qint64 timeOwnerReport(const QString& sitePath, const QString& tree, const QString& outFile) {
    std::vector<qint64> times;
    for (int run = 0; run < kOwnerRuns; ++run) {
        QProcess quarvo;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QUARVO_SITE"), sitePath);
        quarvo.setProcessEnvironment(env);
        quarvo.setStandardErrorFile(QProcess::nullDevice());
        QElapsedTimer timer;
        timer.start();
        quarvo.start(QStringLiteral(QUARVO_BINARY),
                     {"/T=" + tree, "/F=OWNER", "/S=FS1", "/V=VOL1", "/C=" + tree + "\\ACME\\UNIT001",
                      "/OWNER=ALL-SUB", "/OUTFILE=" + outFile});
        if (!quarvo.waitForFinished(600'000) || quarvo.exitCode() != 0) {
            say(QStringLiteral("  %1: the Owner run failed (exit %2)").arg(tree).arg(quarvo.exitCode()));
            return -1;
        }
        times.push_back(timer.elapsed());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

QStringList rowsOf(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList rows;
    // The date at the head of each line is the run's; the rest must agree.
    for (const QByteArray& line : file.readAll().split('\n'))
        rows.append(QString::fromUtf8(line).section(QLatin1Char(','), 1));
    return rows;
}

void compareOwnerReports(const QString& sitePath, const QString& work) {
    const QString ldapOut = work + QStringLiteral("/owners-ldap.csv");
    const QString inlineOut = work + QStringLiteral("/owners-inline.csv");
    const qint64 overLdap = timeOwnerReport(sitePath, QStringLiteral("LDAP_TREE"), ldapOut);
    const qint64 inlined = timeOwnerReport(sitePath, QStringLiteral("INLINE_TREE"), inlineOut);
    const QStringList rows = rowsOf(ldapOut);
    say(QStringLiteral("  median of %1 runs: ldap %2 ms, inline %3 ms, ldap - inline %4 ms; %5 rows, %6")
            .arg(kOwnerRuns).arg(overLdap).arg(inlined).arg(overLdap - inlined).arg(rows.size() - 1)
            .arg(rows == rowsOf(inlineOut) ? QStringLiteral("the same rows") : QStringLiteral("ROWS DIFFER")));
}


// The large directory: 100,000 users dealt round 200 units (500 each), 2,000
// groups, and the first of them, GROUP001, holding the first 20,000 users
// (100 in each unit) instead of its share of 50.
constexpr int kLargeUsers = 100'000;
constexpr int kLargeUnits = 200;
constexpr int kLargeGroups = 2'000;
constexpr int kLargeGroupMembers = 20'000;
constexpr int kLargeRuns = 3;
constexpr int kLargeRunTimeoutMs = 1'800'000;

// What quarvo asks an OpenLDAP tree for (LdapSchema with the openldap
// preset), so the peer reads the same attributes of the same entries.
const QStringList kUserAttributes = {"objectClass", "uidNumber", "displayName", "givenName", "sn", "member"};
const QString kUserFilter = QStringLiteral("(objectClass=inetOrgPerson)");

struct Measured {
    double seconds = 0;
    double megabytes = 0;
};

// One run under GNU time: its wall time and peak resident memory, or nothing
// when it failed (why: its exit status and the end of its standard error).
std::optional<Measured> timedRun(const QString& program, const QStringList& arguments, const QString& work,
                                 const QProcessEnvironment& env, QString& why) {
    const QString timeFile = work + QStringLiteral("/time.out");
    const QString errFile = work + QStringLiteral("/run.err");
    QFile::remove(timeFile);
    QProcess process;
    process.setProcessEnvironment(env);
    process.setStandardOutputFile(work + QStringLiteral("/run.out"));
    process.setStandardErrorFile(errFile);
    process.start(QStringLiteral("/usr/bin/time"),
                  QStringList{"-f", "%e %M", "-o", timeFile, program} + arguments);
    const bool finished = process.waitForFinished(kLargeRunTimeoutMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(10'000);
    }
    QFile errors(errFile);
    const QString errorText = errors.open(QIODevice::ReadOnly) ? QString::fromUtf8(errors.readAll().right(1500)) : QString();
    if (!finished || process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        why = finished ? QStringLiteral("exit %1: %2").arg(process.exitCode()).arg(errorText.trimmed())
                       : QStringLiteral("still running after %1 s, stopped").arg(kLargeRunTimeoutMs / 1000);
        return std::nullopt;
    }
    QFile times(timeFile);
    const QList<QByteArray> fields =
        times.open(QIODevice::ReadOnly) ? times.readAll().trimmed().split('\n').last().split(' ') : QList<QByteArray>();
    bool secondsOk = false, kbOk = false;
    const double seconds = fields.value(0).toDouble(&secondsOk);
    const double kb = fields.value(1).toDouble(&kbOk);
    if (!secondsOk || !kbOk) {
        why = QStringLiteral("cannot read GNU time's figures");
        return std::nullopt;
    }
    return Measured{seconds, kb / 1024};
}

// The median wall time and the median peak memory of a few runs.
std::optional<Measured> medianRun(const QString& program, const QStringList& arguments, const QString& work,
                                  const QProcessEnvironment& env, QString& why) {
    std::vector<double> seconds, megabytes;
    for (int run = 0; run < kLargeRuns; ++run) {
        const std::optional<Measured> one = timedRun(program, arguments, work, env, why);
        if (!one)
            return std::nullopt;
        seconds.push_back(one->seconds);
        megabytes.push_back(one->megabytes);
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(megabytes.begin(), megabytes.end());
    return Measured{seconds[seconds.size() / 2], megabytes[megabytes.size() / 2]};
}

qsizetype linesOf(const QString& path, const QByteArray& prefix = {}) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    qsizetype count = 0;
    for (const QByteArray& line : file.readAll().split('\n'))
        count += !line.trimmed().isEmpty() && line.startsWith(prefix);
    return count;
}

QString shellQuoted(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1Char('\''), QStringLiteral("'\\''")) + QLatin1Char('\'');
}

struct LargeCase {
    QString name;
    QStringList quarvoSwitches;  // after /T= /F=OWNER /S= /V=
    QString peerScript;          // sh -c, writing the entries it read to the file "$1"
    QString peerReads;           // said once, so the table is read rightly
};

// slapadd into the database while slapd is stopped: ten times faster than
// ldapadd through the server for a directory this size.
bool loadOffline(SlapdServer& server, const QString& folder, const QByteArray& ldif, QString& why) {
    const QString file = folder + QStringLiteral("/large.ldif");
    if (!writeFile(file, ldif)) {
        why = QStringLiteral("cannot write %1").arg(file);
        return false;
    }
    server.stop();
    QProcess slapadd;
    slapadd.setProcessChannelMode(QProcess::MergedChannels);
    // -q: no consistency checks; the generator writes containers before what they hold.
    slapadd.start(QStringLiteral("/usr/sbin/slapadd"),
                  {"-q", "-f", folder + QStringLiteral("/slapd.conf"), "-l", file});
    if (!slapadd.waitForFinished(1'200'000) || slapadd.exitStatus() != QProcess::NormalExit ||
        slapadd.exitCode() != 0) {
        why = QStringLiteral("slapadd: %1").arg(QString::fromUtf8(slapadd.readAll().right(2000)));
        return false;
    }
    if (!server.start()) {
        why = server.why();
        return false;
    }
    return true;
}

int runLarge(const QString& work) {
    DirectoryData::Shape shape{.users = kLargeUsers, .groups = kLargeGroups, .units = kLargeUnits,
                               .spreadUsers = true, .subContainers = 0};
    QList<DirectoryObject> objects = DirectoryData::generate(shape);
    QStringList bigGroup;
    for (const DirectoryObject& o : std::as_const(objects)) {
        if (o.className == QLatin1String("User") && bigGroup.size() < kLargeGroupMembers)
            bigGroup.append(o.name);
    }
    for (DirectoryObject& o : objects) {
        if (o.name == QLatin1String("GROUP001.ACME"))
            o.members = bigGroup;
    }

    const QString folder = work + QStringLiteral("/slapd");
    // Size limit 500 as on a stock server; paged searches go past it (size.prtotal=unlimited).
    SlapdServer server(folder, {.sizeLimit = 500});
    QElapsedTimer timer;
    timer.start();
    QString why = server.why();
    if (!server.running() || !loadOffline(server, folder, DirectoryData::ldif(objects, SlapdServer::baseDn()), why)) {
        std::fprintf(stderr, "slapd: %s\n", qPrintable(why));
        return 1;
    }
    say(QStringLiteral("slapd at %1: %2 users in %3 units, %4 groups (GROUP001: %5 members) loaded with slapadd "
                       "in %6 s (size limit 500, paging past it)")
            .arg(server.uri()).arg(kLargeUsers).arg(kLargeUnits).arg(kLargeGroups).arg(kLargeGroupMembers)
            .arg(double(timer.elapsed()) / 1000, 0, 'f', 1));

    const QString volume = work + QStringLiteral("/vol1");
    const QString sitePath = work + QStringLiteral("/site.toml");
    const QString site = server.siteTree(QStringLiteral("LDAP_TREE")) +
                         QStringLiteral("default = true\n\n[[server]]\nname = \"FS1\"\nvolumes = { VOL1 = \"%1\" }\n")
                             .arg(volume);
    if (!makeVolume(volume, shape.firstUid, kLargeUsers) || !writeFile(sitePath, site.toUtf8())) {
        std::fprintf(stderr, "cannot write the volume or the site file in %s\n", qPrintable(work));
        return 1;
    }

    const QString base = SlapdServer::baseDn();
    const QString uri = server.uri();
    const QString attributes = kUserAttributes.join(QLatin1Char(' '));
    const QString search = QStringLiteral("ldapsearch -x -H %1 -o ldif-wrap=no ").arg(uri);
    const QString groupDn = QStringLiteral("cn=GROUP001,o=ACME,") + base;
    const QString unitDn = QStringLiteral("ou=UNIT001,o=ACME,") + base;

    const QList<LargeCase> cases = {
        {QStringLiteral("ALL+SUB, whole tree"),
         {"/OWNER=ALL+SUB"},
         // A subtree's list is read for names and uids alone, by both.
         search + QStringLiteral("-b %1 -E pr=500/noprompt %2 objectClass uidNumber > %3")
                      .arg(shellQuoted(base), shellQuoted(kUserFilter), QStringLiteral("\"$1\"")),
         QStringLiteral("every user of the tree, one paged subtree search (pages of 500), objectClass and "
                        "uidNumber only: what quarvo asks of a subtree's list")},
        {QStringLiteral("GROUP=GROUP001 (20,000)"),
         {"/C=LDAP_TREE\\ACME", "/OWNER=GROUP=GROUP001"},
         // The group's member values, then their entries 100 to a search on one connection.
         search + QStringLiteral("-LLL -s base -b %1 member | awk -F '[=,]' "
                                 "'/^member: / { f = f \"(cn=\" $2 \")\"; if (++n == 100) { print f; f = \"\"; n = 0 } } "
                                 "END { if (f != \"\") print f }' | ")
                      .arg(shellQuoted(groupDn)) +
             search + QStringLiteral("-b %1 -f - %2 %3 > %4")
                          .arg(shellQuoted(base),
                               shellQuoted(QStringLiteral("(&") + kUserFilter + QStringLiteral("(|%s))")), attributes,
                               QStringLiteral("\"$1\"")),
         QStringLiteral("the group's member attribute (base search), then the 20,000 members' entries, "
                        "100 (cn=...) terms to a subtree search, 200 searches on one connection")},
        {QStringLiteral("ALL-SUB, UNIT001 (500)"),
         {"/C=LDAP_TREE\\ACME\\UNIT001", "/OWNER=ALL-SUB"},
         search + QStringLiteral("-s one -b %1 -E pr=500/noprompt %2 %3 > %4")
                      .arg(shellQuoted(unitDn), shellQuoted(kUserFilter), attributes, QStringLiteral("\"$1\"")),
         QStringLiteral("the unit's users, one paged one-level search")},
    };

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QUARVO_SITE"), sitePath);
    // For profiling by hand (perf record ... quarvo /T=LDAP_TREE ...) against the loaded server.
    if (qEnvironmentVariableIsSet("LDAP_RUN_HOLD")) {
        say(QStringLiteral("holding: QUARVO_SITE=%1, %2; Enter goes on").arg(sitePath, uri));
        std::getchar();
    }
    say(QStringLiteral("Owner runs over %1 files, median of %2 runs each; the peer is ldapsearch reading the same "
                       "entries (attributes: %3, unless said):")
            .arg(kVolumeFiles).arg(kLargeRuns).arg(attributes));
    for (const LargeCase& c : cases)
        say(QStringLiteral("  %1: %2").arg(c.name, c.peerReads));
    QStringList table = {QStringLiteral("%1 %2 %3 %4 %5 %6  %7")
                             .arg(QStringLiteral("case"), -26)
                             .arg(QStringLiteral("quarvo s"), 9)
                             .arg(QStringLiteral("quarvo MB"), 10)
                             .arg(QStringLiteral("ldapsearch s"), 13)
                             .arg(QStringLiteral("ldapsearch MB"), 14)
                             .arg(QStringLiteral("ratio"), 7)
                             .arg(QStringLiteral("rows / entries"))};
    int status = 0;
    for (qsizetype n = 0; n < cases.size(); ++n) {
        const LargeCase& c = cases[n];
        // Each case's output is kept apart, to be read after a run in a work folder of one's own.
        const QString quarvoOut = work + QStringLiteral("/quarvo-%1.csv").arg(n + 1);
        const QString peerOut = work + QStringLiteral("/peer-%1.ldif").arg(n + 1);
        QString quarvoWhy, peerWhy;
        const std::optional<Measured> quarvo = medianRun(
            QStringLiteral(QUARVO_BINARY),
            QStringList{"/T=LDAP_TREE", "/F=OWNER", "/S=FS1", "/V=VOL1"} + c.quarvoSwitches +
                QStringList{"/OUTFILE=" + quarvoOut},
            work, env, quarvoWhy);
        const qsizetype rows = quarvo ? linesOf(quarvoOut) : -1;
        const std::optional<Measured> peer =
            medianRun(QStringLiteral("/bin/sh"), {"-c", c.peerScript, "sh", peerOut}, work, env, peerWhy);
        const qsizetype entries = peer ? linesOf(peerOut, "dn: ") : -1;
        if (!quarvo)
            say(QStringLiteral("  %1: quarvo failed: %2").arg(c.name, quarvoWhy));
        if (!peer)
            say(QStringLiteral("  %1: ldapsearch failed: %2").arg(c.name, peerWhy));
        if (!quarvo || !peer)
            status = 1;
        const auto figure = [](const std::optional<Measured>& m, bool mb, int width) {
            return m ? QStringLiteral("%1").arg(mb ? m->megabytes : m->seconds, width, 'f', mb ? 1 : 2)
                     : QStringLiteral("%1").arg(QStringLiteral("failed"), width);
        };
        // Below a tenth of a second GNU time's 10 ms steps make the ratio rough: marked with ~.
        const QString ratio = quarvo && peer && peer->seconds > 0
                                  ? (peer->seconds < 0.1 ? QStringLiteral("~") : QString()) +
                                        QString::number(quarvo->seconds / peer->seconds, 'f', 1)
                                  : QStringLiteral("-");
        table.append(QStringLiteral("%1 %2 %3 %4 %5 %6  %7 / %8")
                         .arg(c.name, -26)
                         .arg(figure(quarvo, false, 9))
                         .arg(figure(quarvo, true, 10))
                         .arg(figure(peer, false, 13))
                         .arg(figure(peer, true, 14))
                         .arg(ratio, 7)
                         .arg(rows)
                         .arg(entries));
    }
    for (const QString& line : table)
        say(line);
    say(QStringLiteral("ratio: quarvo seconds / ldapsearch seconds (GNU time's %e, to 10 ms; ~: the peer took under 0.1 s). Rows: the lines quarvo "
                       "wrote (All Owners writes only owners with space in use, a group run every member); "
                       "entries: those ldapsearch wrote."));
    return status;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ldap_run <work folder> [users | --large]\n");
        return 1;
    }
    const QString work = QString::fromLocal8Bit(argv[1]);
    if (argc > 2 && QByteArray(argv[2]) == "--large")
        return runLarge(work);
    const int users = argc > 2 ? std::atoi(argv[2]) : 10'000;
    const DirectoryData::Shape shape{.users = users, .groups = 500, .units = 50, .subContainers = 1000};
    const QList<DirectoryObject> objects = DirectoryData::generate(shape);

    SlapdServer server(work + QStringLiteral("/slapd"), {.sizeLimit = 500});
    QElapsedTimer timer;
    timer.start();
    if (!server.running() || !server.load(DirectoryData::ldif(objects, SlapdServer::baseDn()))) {
        std::fprintf(stderr, "slapd: %s\n", qPrintable(server.why()));
        return 1;
    }
    say(QStringLiteral("slapd at %1: %2 users, 500 groups, 50 units, 1,000 sub-containers loaded in %3 ms "
                       "(size limit 500)").arg(server.uri()).arg(users).arg(timer.elapsed()));
    const QString volume = work + QStringLiteral("/vol1");
    const QString sitePath = work + QStringLiteral("/site.toml");
    if (!makeVolume(volume, shape.firstUid, users) || !writeFile(sitePath, siteText(server, objects, volume).toUtf8())) {
        std::fprintf(stderr, "cannot write the volume or the site file in %s\n", qPrintable(work));
        return 1;
    }
    const Site site = SiteFile::parse(sitePath);
    say(QStringLiteral("Every user from [Root] with sub-containers (target < 1 s):"));
    timeListing(site, QStringLiteral("LDAP_TREE"));
    timeListing(site, QStringLiteral("INLINE_TREE"));
    say(QStringLiteral("All Owners of %1 files for the container of %2 users, quarvo command line "
                       "(target: ldap at most 1 s slower):").arg(kVolumeFiles).arg(users));
    compareOwnerReports(sitePath, work);
    say(QStringLiteral("Expanding a container of 1,000 sub-containers, all batches (target < 300 ms):"));
    timeContainers(site, QStringLiteral("LDAP_TREE"));
    timeContainers(site, QStringLiteral("INLINE_TREE"));
    return 0;
}
