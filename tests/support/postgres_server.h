#pragma once

#include <QString>
#include <QTemporaryDir>

// A PostgreSQL server of the test's own: initdb and pg_ctl in a folder of
// its own, reached only through a Unix socket there, never the machine's
// database. As root (which PostgreSQL refuses to run as) it runs as nobody.
class PostgresServer {
public:
    PostgresServer();
    ~PostgresServer();

    // Empty when running, else why not.
    QString start();
    void stop();
    // postgresql://quarvo@/postgres?host=<socket folder>
    QString address() const;

private:
    QString run(const QString& tool, const QStringList& arguments) const;

    QTemporaryDir m_folder;
    QString m_data;
    bool m_running = false;
};
