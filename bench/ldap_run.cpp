// bench/ldap_compare.sh runs it: a slapd holding 10,000 users, 500 groups, 50
// units and a unit of 1,000 sub-containers (size limit 500), timed against an
// inline tree holding the same objects.
//
//   ldap_run <work folder> [users]
#include "directory_data.h"
#include "slapd_server.h"

#include "netware/client/netware_client.h"
#include "netware/client/site_file.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
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

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: ldap_run <work folder> [users]\n");
        return 1;
    }
    const QString work = QString::fromLocal8Bit(argv[1]);
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
