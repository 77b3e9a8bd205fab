#include "postgres_server.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace {

// The newest installed server's programs (Debian keeps them out of PATH).
QString toolFolder() {
    const QStringList versions = QDir("/usr/lib/postgresql").entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
    return versions.isEmpty() ? QString() : "/usr/lib/postgresql/" + versions.last() + "/bin/";
}

constexpr int kNobody = 65534;

} // namespace

PostgresServer::PostgresServer() : m_data(m_folder.path() + "/data") {}

PostgresServer::~PostgresServer() {
    stop();
}

QString PostgresServer::run(const QString& tool, const QStringList& arguments) const {
    QProcess p;
    QStringList command{toolFolder() + tool};
    command += arguments;
    if (::geteuid() == 0)
        command = QStringList{"setpriv", QString("--reuid=%1").arg(kNobody), QString("--regid=%1").arg(kNobody),
                              "--clear-groups"} + command;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.takeFirst(), command);
    if (!p.waitForFinished(60000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        return tool + ": " + QString::fromLocal8Bit(p.readAll());
    return {};
}

QString PostgresServer::start() {
    if (toolFolder().isEmpty())
        return "PostgreSQL is not installed";
    if (::geteuid() == 0) {
        // Its folder is the server's user's; the test's own lets it through.
        QFile::setPermissions(m_folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                                   QFile::ExeGroup | QFile::ExeOther);
        QDir().mkpath(m_data);
        if (::chown(QFile::encodeName(m_data).constData(), kNobody, kNobody) != 0 ||
            ::chown(QFile::encodeName(m_folder.path()).constData(), 0, 0) != 0)
            return "cannot give the data folder to nobody";
        QDir().mkpath(m_folder.path() + "/socket");
        ::chown(QFile::encodeName(m_folder.path() + "/socket").constData(), kNobody, kNobody);
    } else {
        QDir().mkpath(m_folder.path() + "/socket");
    }
    if (QString error = run("initdb", {"-D", m_data, "-A", "trust", "-U", "quarvo", "--no-sync"}); !error.isEmpty())
        return error;
    const QString options = QString("-c listen_addresses='' -k %1/socket -c fsync=off").arg(m_folder.path());
    if (QString error = run("pg_ctl", {"-D", m_data, "-o", options, "-l", m_data + "/log", "-w", "start"});
        !error.isEmpty())
        return error;
    m_running = true;
    return {};
}

void PostgresServer::stop() {
    if (m_running)
        run("pg_ctl", {"-D", m_data, "-m", "immediate", "-w", "stop"});
    m_running = false;
}

QString PostgresServer::address() const {
    return "postgresql://quarvo@/postgres?host=" + m_folder.path() + "/socket";
}
