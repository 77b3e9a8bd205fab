#include "history/history_store.h"

#include "history/history_schema.h"
#include "history/postgres_rows.h"
#include "history/row_lookup.h"
#include "history/sqlite_rows.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>
#include <QUrl>
#include <QUrlQuery>
#include <QVariant>

#include <utility>

namespace {

// Each store its own connection, named after the store: stores alive at
// the same time (on several threads) never share one.
QString connectionNameOf(const HistoryStore* store) {
    return QStringLiteral("quarvo-history-%1").arg(quintptr(store), 0, 16);
}

QString reasonOf(const QSqlError& error) {
    const QString text = error.text().trimmed();
    return text.isEmpty() ? QStringLiteral("unknown error") : text;
}

qint64 numberOf(const QVariant& value) {
    return value.isNull() ? RowFigures::kNone : value.toLongLong();
}

QVariant millisecondsOf(const QDateTime& time) {
    return time.isValid() ? QVariant(time.toMSecsSinceEpoch()) : QVariant(qint64(0));
}

const char* kRunColumns = "id, started, ended, host, tree, server, volume, kind, place, options, outcome, "
                          "total_bytes, row_count, directories, files, unreadable, duration_ms, program_version";

StoredRun runOf(const QSqlQuery& q) {
    StoredRun run;
    run.id = q.value(0).toLongLong();
    run.started = QDateTime::fromMSecsSinceEpoch(q.value(1).toLongLong(), QTimeZone::utc());
    run.ended = QDateTime::fromMSecsSinceEpoch(q.value(2).toLongLong(), QTimeZone::utc());
    run.host = q.value(3).toString();
    run.tree = q.value(4).toString();
    run.server = q.value(5).toString();
    run.volume = q.value(6).toString();
    run.kind = q.value(7).toString();
    run.place = q.value(8).toString();
    run.options = q.value(9).toString();
    run.outcome = q.value(10).toString();
    run.totalBytes = numberOf(q.value(11));
    run.rows = q.value(12).toLongLong();
    run.directories = q.value(13).toLongLong();
    run.files = q.value(14).toLongLong();
    run.unreadable = q.value(15).toLongLong();
    run.durationMs = q.value(16).toLongLong();
    run.version = q.value(17).toString();
    return run;
}

} // namespace

HistoryStore::HistoryStore(QString location) : m_location(std::move(location)), m_connection(connectionNameOf(this)) {}

HistoryStore::~HistoryStore() {
    if (!QSqlDatabase::contains(m_connection))
        return;
    QSqlDatabase::database(m_connection, false).close();
    QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryStore::isPostgres(const QString& location) {
    return location.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
           location.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
}

QString HistoryStore::name() const {
    if (!postgres())
        return m_location;
    QUrl url(m_location);
    url.setPassword(QString());
    return url.toString();
}

QSqlDatabase HistoryStore::connection() const {
    return QSqlDatabase::database(m_connection, false);
}

QString HistoryStore::failure(const QString& what, const QString& reason) const {
    return QStringLiteral("the history %1 %2: %3").arg(name(), what, reason);
}

QString HistoryStore::configure() {
    const QString driver = postgres() ? QStringLiteral("QPSQL") : QStringLiteral("QSQLITE");
    if (!QSqlDatabase::isDriverAvailable(driver))
        return failure(QStringLiteral("cannot be opened"),
                       QStringLiteral("Qt's %1 driver is not installed (package %2)")
                           .arg(driver, postgres() ? QStringLiteral("libqt6sql6-psql")
                                                   : QStringLiteral("libqt6sql6-sqlite")));
    if (QSqlDatabase::contains(m_connection))
        QSqlDatabase::removeDatabase(m_connection); // an earlier open() that failed
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_connection);
    if (!postgres()) {
        db.setDatabaseName(m_location);
        // Other runs recording at the same moment are waited for, not failed.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=20000"));
        return {};
    }
    const QUrl url(m_location);
    if (!url.isValid() || url.path().size() < 2)
        return failure(QStringLiteral("cannot be opened"),
                       QStringLiteral("the address needs a database: postgresql://user@host/database"));
    const QUrlQuery query(url);
    db.setDatabaseName(url.path().mid(1));
    db.setUserName(url.userName());
    db.setPassword(url.password());
    // A host of its own in the query is a folder of the server's Unix socket.
    db.setHostName(query.hasQueryItem(QStringLiteral("host")) ? query.queryItemValue(QStringLiteral("host"))
                                                              : url.host());
    if (url.port() > 0)
        db.setPort(url.port());
    db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    return {};
}

QString HistoryStore::open() {
    if (QSqlDatabase::contains(m_connection) && QSqlDatabase::database(m_connection, false).isOpen())
        return {};
    if (const QString error = configure(); !error.isEmpty())
        return error;
    if (!postgres())
        if (const QString error = HistorySchema::prepareFile(m_location); !error.isEmpty())
            return failure(QStringLiteral("cannot be opened"), error);
    QSqlDatabase db = connection();
    if (!db.open())
        return failure(QStringLiteral("cannot be opened"), reasonOf(db.lastError()));
    return createOrMigrate();
}

QString HistoryStore::createOrMigrate() {
    QSqlDatabase db = connection();
    QString reason;
    const int found = HistorySchema::bringUpToDate(db, postgres(), reason);
    if (found < 0)
        return failure(QStringLiteral("cannot be used"), reason);
    if (found > kSchemaVersion)
        return failure(QStringLiteral("cannot be used"),
                       QStringLiteral("it was made by a newer Quarvo (its tables are of version %1, this Quarvo "
                                      "knows version %2 at most)")
                           .arg(found)
                           .arg(kSchemaVersion));
    return {};
}

bool HistoryStore::confirmed(const std::function<bool()>& confirm, QString& error) const {
    if (!confirm || confirm())
        return true;
    error = failure(QStringLiteral("did not record the run"), QStringLiteral("it was not to be kept"));
    return false;
}

std::optional<qint64> HistoryStore::record(const StoredRun& run, const QList<StoredRow>& rows, int keepDays,
                                           QString& error, const std::function<bool()>& confirm) {
    if (error = open(); !error.isEmpty())
        return std::nullopt;
    QSqlDatabase db = connection();
    // SQLite's rows wait outside the store while the run's file is written:
    // its write lock is held only to copy them in.
    if (!postgres()) {
        if (const QString reason = SqliteRows(0, rows).stage(db); !reason.isEmpty()) {
            error = failure(QStringLiteral("could not record the run's rows"), reason);
            return std::nullopt;
        }
        if (!confirmed(confirm, error))
            return std::nullopt;
    }
    HistorySchema::Transaction transaction(db, postgres());
    QSqlQuery insert(db);
    insert.prepare(QStringLiteral("INSERT INTO runs (started, ended, host, tree, server, volume, kind, place, "
                                  "options, outcome, total_bytes, row_count, directories, files, unreadable, "
                                  "duration_ms, program_version) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?) "
                                  "RETURNING id"));
    for (const QVariant& value :
         {millisecondsOf(run.started), millisecondsOf(run.ended), QVariant(run.host), QVariant(run.tree),
          QVariant(run.server), QVariant(run.volume), QVariant(run.kind), QVariant(run.place), QVariant(run.options),
          QVariant(run.outcome), nullableNumber(run.totalBytes), QVariant(run.rows), QVariant(run.directories),
          QVariant(run.files), QVariant(run.unreadable), QVariant(run.durationMs), QVariant(run.version)})
        insert.addBindValue(value);
    if (!transaction.begun() || !insert.exec() || !insert.next()) {
        error = failure(QStringLiteral("could not record the run"),
                        reasonOf(transaction.begun() ? insert.lastError() : transaction.error()));
        return std::nullopt;
    }
    const qint64 id = insert.value(0).toLongLong();
    insert.finish();
    if (const QString reason = postgres() ? PostgresRows(id, rows).insert(db) : SqliteRows::copyStaged(db, id);
        !reason.isEmpty()) {
        error = failure(QStringLiteral("could not record the run's rows"), reason);
        return std::nullopt;
    }
    // PostgreSQL's rows go in while the file is written; the old runs are
    // dropped only once this one is to be kept, so their rows are not held
    // locked meanwhile.
    if (postgres() && !confirmed(confirm, error))
        return std::nullopt;
    const QDateTime oldest = run.started.addDays(-keepDays);
    if (const QString reason = HistorySchema::dropRunsBefore(db, oldest.toMSecsSinceEpoch()); !reason.isEmpty()) {
        error = failure(QStringLiteral("could not drop old runs"), reason);
        return std::nullopt;
    }
    if (const QString reason = transaction.commit(); !reason.isEmpty()) {
        error = failure(QStringLiteral("could not record the run"), reason);
        return std::nullopt;
    }
    return id;
}

std::optional<QList<StoredRun>> HistoryStore::runs(const RunFilter& filter, QString& error) {
    if (error = open(); !error.isEmpty())
        return std::nullopt;
    QString sql = QStringLiteral("SELECT %1 FROM runs WHERE 1 = 1").arg(QLatin1String(kRunColumns));
    QVariantList values;
    const auto equal = [&](const char* column, const QString& value) {
        if (value.isEmpty())
            return;
        sql += QStringLiteral(" AND UPPER(%1) = UPPER(?)").arg(QLatin1String(column));
        values.append(value);
    };
    equal("tree", filter.tree);
    equal("server", filter.server);
    equal("volume", filter.volume);
    equal("kind", filter.kind);
    if (!filter.place.isEmpty()) {
        sql += QStringLiteral(" AND UPPER(SUBSTR(place, 1, ?)) = UPPER(?)");
        values << qint64(filter.place.size()) << filter.place;
    }
    if (filter.sameOptions) {
        sql += QStringLiteral(" AND COALESCE(options, '') = COALESCE(?, '')");
        values.append(filter.options);
    }
    if (filter.startedBefore.isValid()) {
        sql += QStringLiteral(" AND started < ?");
        values.append(filter.startedBefore.toMSecsSinceEpoch());
    }
    sql += QStringLiteral(" ORDER BY started DESC, id DESC");
    if (filter.limit > 0)
        sql += QStringLiteral(" LIMIT %1").arg(filter.limit);
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    query.prepare(sql);
    for (const QVariant& value : std::as_const(values))
        query.addBindValue(value);
    if (!query.exec()) {
        error = failure(QStringLiteral("could not be read"), reasonOf(query.lastError()));
        return std::nullopt;
    }
    QList<StoredRun> found;
    while (query.next())
        found.append(runOf(query));
    return found;
}

std::optional<StoredRun> HistoryStore::run(qint64 id, QString& error) {
    if (error = open(); !error.isEmpty())
        return std::nullopt;
    QSqlQuery query(connection());
    query.prepare(QStringLiteral("SELECT %1 FROM runs WHERE id = ?").arg(QLatin1String(kRunColumns)));
    query.addBindValue(id);
    if (!query.exec()) {
        error = failure(QStringLiteral("could not be read"), reasonOf(query.lastError()));
        return std::nullopt;
    }
    if (!query.next())
        return StoredRun{};
    return runOf(query);
}

std::optional<QList<StoredRow>> HistoryStore::rows(qint64 runId, QString& error) {
    if (error = open(); !error.isEmpty())
        return std::nullopt;
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT parent_no, name, owner, %1 FROM run_rows WHERE run_id = ? ORDER BY row_no")
                      .arg(QLatin1String(kStoredFigureColumns)));
    query.addBindValue(runId);
    if (!query.exec()) {
        error = failure(QStringLiteral("could not be read"), reasonOf(query.lastError()));
        return std::nullopt;
    }
    QList<StoredRow> found;
    while (query.next()) {
        StoredRow row;
        row.parent = numberOf(query.value(0));
        row.name = query.value(1).toString();
        row.owner = query.value(2).toString();
        row.figures = storedFiguresAt(query, 3);
        found.append(row);
    }
    return found;
}

std::optional<QList<std::optional<RowFigures>>> HistoryStore::figuresOf(const QList<qint64>& runIds, const QString& key,
                                                                         QString& error) {
    if (error = open(); !error.isEmpty())
        return std::nullopt;
    RowLookup lookup(connection());
    QList<std::optional<RowFigures>> found;
    found.reserve(runIds.size());
    for (const qint64 id : runIds) {
        QString reason;
        found.append(lookup.find(id, key, reason));
        if (!reason.isEmpty()) {
            error = failure(QStringLiteral("could not be read"), reason);
            return std::nullopt;
        }
    }
    return found;
}
