#include "slapd_server.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QThread>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <signal.h>
#include <unistd.h>

namespace {

constexpr const char* kSlapd = "/usr/sbin/slapd";
constexpr const char* kAdminPassword = "admin-secret";
constexpr int kStartAttempts = 3;
constexpr int kAnswerWaitMs = 10'000;

sockaddr_in loopback(int port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(std::uint16_t(port));
    return address;
}

bool answers(int port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(port);
    const bool connected = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

// Readable by the owner alone: a password file must be, for a program run as root.
bool writeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(content) == content.size() &&
           file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
}

QString tail(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll().right(2000));
}

QString sizeLimitLine(const SlapdOptions& options) {
    if (options.sizeLimit <= 0)
        return QStringLiteral("sizelimit unlimited\n");
    const QString n = QString::number(options.sizeLimit);
    // Without size.prtotal slapd caps paged searches at the hard limit too.
    if (options.pagingPassesSizeLimit)
        return QStringLiteral("sizelimit size.soft=%1 size.hard=%1 size.prtotal=unlimited\n").arg(n);
    return QStringLiteral("sizelimit %1\n").arg(n);
}

} // namespace

// slapd may still lose the port to another process, so starting is tried on
// fresh ports a few times.
int SlapdServer::freePort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address = loopback(0);
    socklen_t size = sizeof address;
    int port = 0;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size) == 0)
        port = ntohs(address.sin_port);
    ::close(fd);
    return port;
}

bool SlapdServer::available() {
    return QFileInfo(QString::fromLatin1(kSlapd)).isExecutable();
}

SlapdServer::SlapdServer(const QString& folder, Options options) : m_folder(folder), m_options(std::move(options)) {
    if (!QDir().mkpath(path(QStringLiteral("db"))) ||
        !writeFile(adminPasswordFile(), kAdminPassword)) {
        m_why = QStringLiteral("cannot write to %1").arg(folder);
        return;
    }
    if ((m_options.tls && !makeCertificates()) || !writeConfig())
        return;
    bool started = false;
    for (int attempt = 0; attempt < kStartAttempts && !started; ++attempt) {
        m_port = freePort();
        m_tlsPort = m_options.tls ? freePort() : 0;
        started = start();
    }
    if (started &&
        !load(QStringLiteral("dn: %1\nobjectClass: dcObject\nobjectClass: organization\ndc: quarvo\no: quarvo\n")
                  .arg(baseDn()).toUtf8()))
        stop();
}

SlapdServer::~SlapdServer() {
    stop();
}

QString SlapdServer::path(const QString& name) const {
    return m_folder + QLatin1Char('/') + name;
}

QString SlapdServer::uri() const {
    return QStringLiteral("ldap://127.0.0.1:%1").arg(m_port);
}

QString SlapdServer::ldapsUri() const {
    return QStringLiteral("ldaps://127.0.0.1:%1").arg(m_tlsPort);
}

QString SlapdServer::caFile() const {
    return path(QStringLiteral("ca.pem"));
}

QString SlapdServer::otherCaFile() const {
    return path(QStringLiteral("other-ca.pem"));
}

QString SlapdServer::adminPasswordFile() const {
    return path(QStringLiteral("admin.password"));
}

QString SlapdServer::siteTree(const QString& name) const {
    return QStringLiteral("[[tree]]\nname = \"%1\"\ndirectory = \"ldap\"\nuri = \"%2\"\nbase = \"%3\"\n"
                          "schema = \"openldap\"\n")
        .arg(name, uri(), baseDn());
}

bool SlapdServer::running() const {
    return m_process && m_process->state() == QProcess::Running;
}

bool SlapdServer::openssl(const QStringList& arguments) {
    QProcess process;
    process.setWorkingDirectory(m_folder);
    process.start(QStringLiteral("openssl"), arguments);
    if (process.waitForFinished(30'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
        return true;
    m_why = QStringLiteral("openssl %1: %2").arg(arguments.join(QLatin1Char(' ')),
                                                 QString::fromUtf8(process.readAllStandardError()));
    return false;
}

// A CA, a server certificate it signed for 127.0.0.1, and a second CA that
// signed nothing, for the refusals.
bool SlapdServer::makeCertificates() {
    const auto ca = [this](const QString& name) {
        return openssl({"req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes",
                        "-keyout", name + ".key", "-out", name + ".pem", "-days", "2", "-subj", "/CN=Quarvo test " + name});
    };
    return ca(QStringLiteral("ca")) && ca(QStringLiteral("other-ca")) &&
           writeFile(path(QStringLiteral("server.ext")),
                     "subjectAltName=IP:127.0.0.1,DNS:localhost\nbasicConstraints=CA:FALSE\n"
                     "extendedKeyUsage=serverAuth\n") &&
           openssl({"req", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1", "-nodes", "-keyout",
                    "server.key", "-out", "server.csr", "-subj", "/CN=127.0.0.1"}) &&
           openssl({"x509", "-req", "-in", "server.csr", "-CA", "ca.pem", "-CAkey", "ca.key", "-set_serial", "1",
                    "-days", "2", "-extfile", "server.ext", "-out", "server.pem"});
}

bool SlapdServer::writeConfig() {
    QString config;
    for (const char* schema : {"core", "cosine", "inetorgperson", "nis"})
        config += QStringLiteral("include /etc/ldap/schema/%1.schema\n").arg(QLatin1String(schema));
    config += QStringLiteral("pidfile %1\nargsfile %2\nmodulepath /usr/lib/ldap\nmoduleload back_mdb\n")
                  .arg(path(QStringLiteral("slapd.pid")), path(QStringLiteral("slapd.args")));
    config += sizeLimitLine(m_options);
    if (m_options.tls)
        config += QStringLiteral("TLSCACertificateFile %1\nTLSCertificateFile %2\nTLSCertificateKeyFile %3\n")
                      .arg(caFile(), path(QStringLiteral("server.pem")), path(QStringLiteral("server.key")));
    // dbnosync: a test's data need not survive a crash, and loading is ten times faster.
    config += QStringLiteral("database mdb\nmaxsize 1073741824\ndbnosync\ndirectory %1\nsuffix \"%2\"\n"
                             "rootdn \"%3\"\nrootpw %4\nindex objectClass,cn,uid,uidNumber eq\n")
                  .arg(path(QStringLiteral("db")), baseDn(), adminDn(), QLatin1String(kAdminPassword));
    if (m_options.pageSizeLimit > 0)
        config += QStringLiteral("limits * size.pr=%1\n").arg(m_options.pageSizeLimit);
    config += m_options.access.isEmpty() ? QStringLiteral("access to attrs=userPassword by anonymous auth by * none\n"
                                                          "access to * by * read\n")
                                         : m_options.access + QLatin1Char('\n');
    if (writeFile(path(QStringLiteral("slapd.conf")), config.toUtf8()))
        return true;
    m_why = QStringLiteral("cannot write the slapd configuration");
    return false;
}

bool SlapdServer::start() {
    stop();
    QString urls = uri() + QLatin1Char('/');
    if (m_options.tls)
        urls += QLatin1Char(' ') + ldapsUri() + QLatin1Char('/');
    m_process = std::make_unique<QProcess>();
    m_process->setStandardOutputFile(path(QStringLiteral("slapd.log")), QIODevice::Append);
    m_process->setStandardErrorFile(path(QStringLiteral("slapd.log")), QIODevice::Append);
    // -d keeps it in the foreground, so it is this process's child to stop.
    m_process->start(QString::fromLatin1(kSlapd),
                     {"-f", path(QStringLiteral("slapd.conf")), "-h", urls, "-d", "0"});
    if (!m_process->waitForStarted(10'000)) {
        m_why = QStringLiteral("slapd does not start: %1").arg(m_process->errorString());
        return false;
    }
    return waitUntilAnswering();
}

bool SlapdServer::waitUntilAnswering() {
    for (int waited = 0; waited < kAnswerWaitMs; waited += 20) {
        if (!running()) {
            m_why = QStringLiteral("slapd ended: %1").arg(tail(path(QStringLiteral("slapd.log"))));
            return false;
        }
        if (answers(m_port) && (!m_options.tls || answers(m_tlsPort))) {
            m_why.clear();
            return true;
        }
        QThread::msleep(20);
    }
    m_why = QStringLiteral("slapd does not answer on port %1").arg(m_port);
    return false;
}

// Each of its threads stops only once it runs again: a request sent at once
// could still be answered, so this waits until every one has.
void SlapdServer::freeze() {
    if (!m_process || m_process->processId() <= 0)
        return;
    const QString pid = QString::number(m_process->processId());
    ::kill(pid_t(m_process->processId()), SIGSTOP);
    for (int wait = 0; wait < 200; ++wait) {
        bool stopped = true;
        for (const QString& task : QDir("/proc/" + pid + "/task").entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat("/proc/" + pid + "/task/" + task + "/stat");
            const QByteArray text = stat.open(QIODevice::ReadOnly) ? stat.readAll() : QByteArray();
            const qsizetype end = text.lastIndexOf(')');
            stopped = stopped && end > 0 && text.mid(end + 2, 1) == "T";
        }
        if (stopped)
            return;
        ::usleep(5000);
    }
}

void SlapdServer::thaw() {
    if (m_process && m_process->processId() > 0)
        ::kill(pid_t(m_process->processId()), SIGCONT);
}

void SlapdServer::stop() {
    thaw(); // a frozen one could not take its signal to end
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->terminate();
        if (!m_process->waitForFinished(10'000)) {
            m_process->kill();
            m_process->waitForFinished(5'000);
        }
    }
    m_process.reset();
}

bool SlapdServer::load(const QByteArray& ldif) {
    const QString file = path(QStringLiteral("load.ldif"));
    if (!writeFile(file, ldif)) {
        m_why = QStringLiteral("cannot write %1").arg(file);
        return false;
    }
    QProcess ldapadd;
    ldapadd.setStandardOutputFile(QProcess::nullDevice());
    ldapadd.start(QStringLiteral("ldapadd"),
                  {"-x", "-H", uri(), "-D", adminDn(), "-y", adminPasswordFile(), "-f", file});
    if (ldapadd.waitForFinished(600'000) && ldapadd.exitStatus() == QProcess::NormalExit && ldapadd.exitCode() == 0)
        return true;
    m_why = QStringLiteral("ldapadd: %1").arg(QString::fromUtf8(ldapadd.readAllStandardError()));
    return false;
}
