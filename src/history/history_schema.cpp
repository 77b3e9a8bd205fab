#include "history/history_schema.h"

#include "history/history_store.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

namespace HistorySchema {

namespace {

// Version 1: the runs and their rows.
QStringList versionOne(bool postgres) {
    const QString id = postgres ? QStringLiteral("BIGSERIAL PRIMARY KEY") : QStringLiteral("INTEGER PRIMARY KEY");
    const QString rowsKey = postgres ? QStringLiteral(")") : QStringLiteral(") WITHOUT ROWID");
    // A run's number in each of its rows, and in each entry of their index:
    // four bytes in PostgreSQL, not eight (SQLite stores a number in the
    // bytes it needs whatever the type says).
    const QString runId = postgres ? QStringLiteral("INTEGER") : QStringLiteral("BIGINT");
    return {QStringLiteral("CREATE TABLE runs (id %1, started BIGINT NOT NULL, ended BIGINT NOT NULL, "
                           "host TEXT, tree TEXT, server TEXT, volume TEXT, "
                           "kind TEXT NOT NULL, place TEXT NOT NULL, options TEXT, outcome TEXT, "
                           "total_bytes BIGINT, row_count BIGINT NOT NULL, directories BIGINT NOT NULL, "
                           "files BIGINT NOT NULL, unreadable BIGINT NOT NULL, duration_ms BIGINT NOT NULL, "
                           "program_version TEXT NOT NULL)")
                .arg(id),
            QStringLiteral("CREATE INDEX runs_by_place ON runs (kind, place, started)"),
            QStringLiteral("CREATE INDEX runs_by_start ON runs (started)"),
            QStringLiteral("CREATE TABLE run_rows (run_id %2 NOT NULL REFERENCES runs (id) ON DELETE CASCADE, "
                           "row_no INTEGER NOT NULL, parent_no INTEGER, name TEXT NOT NULL, owner TEXT, "
                           "bytes BIGINT, allocated BIGINT, files BIGINT, modified BIGINT, total BIGINT, "
                           "purgeable BIGINT, pending BIGINT, free BIGINT, PRIMARY KEY (run_id, row_no)%1")
                .arg(rowsKey, runId)};
}

// Version 2: a row found by its place in its run, as a window following one
// folder across runs descends a path name by name.
QStringList versionTwo(bool postgres) {
    QStringList steps{QStringLiteral("CREATE INDEX run_rows_by_name ON run_rows (run_id, parent_no, name)")};
    if (postgres)
        return steps;
    // SQLite without statistics takes a run's rows to be ten and looks a
    // name up by the primary key, reading the whole run. Its statistics,
    // written once: a run has tens of thousands of rows, a parent row and a
    // name find one of them. (ANALYZE of the small table makes the
    // statistics' table; ANALYZE sqlite_schema has them read again.)
    return steps + QStringList{
        QStringLiteral("ANALYZE quarvo_schema"),
        QStringLiteral("DELETE FROM sqlite_stat1 WHERE tbl = 'run_rows'"),
        QStringLiteral("INSERT INTO sqlite_stat1 (tbl, idx, stat) VALUES ('run_rows', 'run_rows', '40000000 40000 1'), "
                       "('run_rows', 'run_rows_by_name', '40000000 40000 2 1')"),
        QStringLiteral("ANALYZE sqlite_schema")};
}

bool run(QSqlDatabase& db, const QString& sql, QString& reason) {
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    reason = query.lastError().text().trimmed();
    return false;
}

// PostgreSQL's rows need no primary key: each of its entries took 32 bytes a
// row for what run_rows_by_name also finds (a run's rows by run_id; their
// order is sorted on reading). Dropped where found, without a new version,
// so a Quarvo of version 2 tables still uses a store this one has opened.
// SQLite's table is its key and stays as it is.
bool dropRowsKey(QSqlDatabase& db, QString& reason) {
    QSqlQuery found(db);
    if (!found.exec(QStringLiteral("SELECT 1 FROM pg_constraint WHERE conname = 'run_rows_pkey' "
                                   "AND conrelid = 'run_rows'::regclass"))) {
        reason = found.lastError().text();
        return false;
    }
    if (!found.next())
        return true;
    found.finish();
    return run(db, QStringLiteral("ALTER TABLE run_rows DROP CONSTRAINT IF EXISTS run_rows_pkey"), reason);
}

// The version the tables are at; 0 when there are none yet; -1 on failure.
int storedVersion(QSqlDatabase& db, QString& reason) {
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM quarvo_schema WHERE id = 1")))
        return db.tables().contains(QStringLiteral("quarvo_schema")) ? (reason = query.lastError().text(), -1) : 0;
    return query.next() ? query.value(0).toInt() : 0;
}

// Steps from each version to the next; versionOne makes version 1 from nothing.
bool migrate(QSqlDatabase& db, bool postgres, int from, QString& reason) {
    QStringList steps;
    if (from < 1)
        steps += versionOne(postgres);
    if (from < 2)
        steps += versionTwo(postgres);
    for (const QString& sql : std::as_const(steps)) {
        if (!run(db, sql, reason))
            return false;
    }
    QSqlQuery query(db);
    query.prepare(QStringLiteral("INSERT INTO quarvo_schema (id, version) VALUES (1, ?) "
                                 "ON CONFLICT (id) DO UPDATE SET version = excluded.version"));
    query.addBindValue(HistoryStore::kSchemaVersion);
    if (!query.exec()) {
        reason = query.lastError().text();
        return false;
    }
    return true;
}

QString errnoText(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// The tables of this version, made or migrated; the version, -1 on failure.
int migrateToCurrent(QSqlDatabase& db, bool postgres, QString& reason) {
    // A new file's pages are 16 KiB, not 4: a run of 65,000 rows goes in
    // with a quarter of the pages to split, log and copy back (it no longer
    // changes once the file is in WAL mode).
    if (!postgres && (!run(db, QStringLiteral("PRAGMA page_size=16384"), reason) ||
                      !run(db, QStringLiteral("PRAGMA journal_mode=WAL"), reason) ||
                      !run(db, QStringLiteral("PRAGMA synchronous=NORMAL"), reason)))
        return -1;
    int version = storedVersion(db, reason);
    if (version < 0 || version >= HistoryStore::kSchemaVersion)
        return version;
    // Several first runs at once: one makes the tables, the others then find them.
    Transaction transaction(db, postgres);
    if (!transaction.begun()) {
        reason = transaction.error().text();
        return -1;
    }
    if (postgres && !run(db, QStringLiteral("SELECT pg_advisory_xact_lock(72710)"), reason))
        return -1;
    if (!run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS quarvo_schema (id INTEGER PRIMARY KEY, "
                                "version INTEGER NOT NULL)"),
             reason))
        return -1;
    version = storedVersion(db, reason);
    if (version < 0 || version >= HistoryStore::kSchemaVersion)
        return version;
    if (!migrate(db, postgres, version, reason))
        return -1;
    reason = transaction.commit();
    return reason.isEmpty() ? HistoryStore::kSchemaVersion : -1;
}

} // namespace

int bringUpToDate(QSqlDatabase& db, bool postgres, QString& reason) {
    const int version = migrateToCurrent(db, postgres, reason);
    if (postgres && version == HistoryStore::kSchemaVersion && !dropRowsKey(db, reason))
        return -1;
    return version;
}

QString prepareFile(const QString& path) {
    const QFileInfo info(path);
    const QString folderName = info.absolutePath();
    const QByteArray folder = QFile::encodeName(folderName);
    struct stat folderStat {};
    if (::stat(folder.constData(), &folderStat) != 0 && errno == ENOENT) {
        if (!QDir().mkpath(folderName))
            return QStringLiteral("its folder %1 cannot be made").arg(folderName);
        ::chmod(folder.constData(), 0700); // the runs tell what lies where: the user's own
    }
    if (::stat(folder.constData(), &folderStat) != 0)
        return QStringLiteral("%1: %2").arg(folderName, errnoText(errno));
    if (!S_ISDIR(folderStat.st_mode))
        return QStringLiteral("%1: %2").arg(folderName, errnoText(ENOTDIR));
    if (::geteuid() != 0)
        return {};
    struct stat fileStat {};
    if (::lstat(QFile::encodeName(path).constData(), &fileStat) == 0 && S_ISLNK(fileStat.st_mode) &&
        fileStat.st_uid != 0)
        return QStringLiteral("%1 is a symbolic link of another user").arg(path);
    if (folderStat.st_uid != 0 || (folderStat.st_mode & (S_IWGRP | S_IWOTH)) != 0)
        return QStringLiteral("run as root, it must lie in a folder only root can change, which %1 is not")
            .arg(folderName);
    return {};
}

QString dropRunsBefore(QSqlDatabase& db, qint64 before) {
    for (const char* sql : {"DELETE FROM run_rows WHERE run_id IN (SELECT id FROM runs WHERE started < ?)",
                            "DELETE FROM runs WHERE started < ?"}) {
        QSqlQuery query(db);
        query.prepare(QLatin1String(sql));
        query.addBindValue(before);
        if (!query.exec())
            return query.lastError().text();
    }
    return {};
}

Transaction::Transaction(QSqlDatabase& db, bool postgres) : m_db(db) {
    QSqlQuery begin(m_db);
    m_begun = begin.exec(postgres ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
    m_error = begin.lastError();
}

Transaction::~Transaction() {
    if (!m_begun || m_done)
        return;
    QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
}

QString Transaction::commit() {
    m_done = true;
    QSqlQuery commit(m_db);
    if (commit.exec(QStringLiteral("COMMIT")))
        return {};
    const QString reason = commit.lastError().text();
    QSqlQuery(m_db).exec(QStringLiteral("ROLLBACK"));
    return reason;
}

} // namespace HistorySchema
