#include "history/sqlite_rows.h"

#include <QSqlDriver>
#include <QVariant>

#include <memory>

#include <sqlite3.h>

namespace {

struct Finalize {
    void operator()(sqlite3_stmt* statement) const { sqlite3_finalize(statement); }
};
using Statement = std::unique_ptr<sqlite3_stmt, Finalize>;

// The QSQLITE driver's connection; null for any other driver.
sqlite3* handleOf(const QSqlDatabase& db) {
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.constData());
}

// RowFigures::kNone and a row without parent are NULL, as the store reads them back.
void bindNumber(sqlite3_stmt* statement, int index, qint64 value) {
    if (value == RowFigures::kNone)
        sqlite3_bind_null(statement, index);
    else
        sqlite3_bind_int64(statement, index, value);
}

// The text stays alive in the rows until the step: SQLite need not copy it.
void bindText(sqlite3_stmt* statement, int index, const QString& text) {
    if (text.isNull())
        sqlite3_bind_null(statement, index);
    else
        sqlite3_bind_text16(statement, index, text.utf16(), int(text.size() * sizeof(char16_t)), SQLITE_STATIC);
}

void bindRow(sqlite3_stmt* statement, qsizetype rowNo, const StoredRow& row) {
    sqlite3_bind_int64(statement, 2, rowNo);
    bindNumber(statement, 3, row.parent);
    bindText(statement, 4, row.name);
    bindText(statement, 5, row.owner);
    const RowFigures& f = row.figures;
    int index = 6;
    for (const qint64 figure : {f.bytes, f.allocated, f.files, f.modified, f.total, f.purgeable, f.pending, f.free})
        bindNumber(statement, index++, figure);
}

} // namespace

SqliteRows::SqliteRows(qint64 runId, const QList<StoredRow>& rows) : m_runId(runId), m_rows(rows) {}

QString SqliteRows::insert(QSqlDatabase& db) const {
    return insertInto(db, "run_rows");
}

QString SqliteRows::stage(QSqlDatabase& db) const {
    sqlite3* handle = handleOf(db);
    if (!handle)
        return QStringLiteral("the connection is not SQLite's");
    // In memory: a root run leaves no temporary file where others may write.
    for (const char* sql : {"PRAGMA temp_store = MEMORY",
                            "CREATE TEMP TABLE IF NOT EXISTS staged_rows AS SELECT * FROM main.run_rows WHERE 0",
                            "DELETE FROM temp.staged_rows", "BEGIN"}) {
        if (sqlite3_exec(handle, sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            return QString::fromUtf8(sqlite3_errmsg(handle));
    }
    const QString reason = insertInto(db, "temp.staged_rows");
    if (!reason.isEmpty() || sqlite3_exec(handle, "COMMIT", nullptr, nullptr, nullptr) != SQLITE_OK) {
        const QString why = reason.isEmpty() ? QString::fromUtf8(sqlite3_errmsg(handle)) : reason;
        sqlite3_exec(handle, "ROLLBACK", nullptr, nullptr, nullptr);
        return why;
    }
    return {};
}

QString SqliteRows::copyStaged(QSqlDatabase& db, qint64 runId) {
    sqlite3* handle = handleOf(db);
    if (!handle)
        return QStringLiteral("the connection is not SQLite's");
    sqlite3_stmt* prepared = nullptr;
    sqlite3_prepare_v2(handle,
                       "INSERT INTO main.run_rows (run_id, row_no, parent_no, name, owner, bytes, allocated, files, "
                       "modified, total, purgeable, pending, free) SELECT ?, row_no, parent_no, name, owner, bytes, "
                       "allocated, files, modified, total, purgeable, pending, free FROM temp.staged_rows",
                       -1, &prepared, nullptr);
    const Statement statement(prepared);
    if (!statement)
        return QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_bind_int64(prepared, 1, runId);
    if (sqlite3_step(prepared) != SQLITE_DONE)
        return QString::fromUtf8(sqlite3_errmsg(handle));
    return {};
}

QString SqliteRows::insertInto(QSqlDatabase& db, const char* table) const {
    sqlite3* handle = handleOf(db);
    if (!handle)
        return QStringLiteral("the connection is not SQLite's");
    const QByteArray sql = QByteArray("INSERT INTO ") + table +
                           " (run_id, row_no, parent_no, name, owner, bytes, allocated, files, "
                           "modified, total, purgeable, pending, free) VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)";
    sqlite3_stmt* prepared = nullptr;
    sqlite3_prepare_v2(handle, sql.constData(), -1, &prepared, nullptr);
    const Statement statement(prepared);
    if (!statement)
        return QString::fromUtf8(sqlite3_errmsg(handle));
    sqlite3_bind_int64(prepared, 1, m_runId);
    for (qsizetype i = 0; i < m_rows.size(); ++i) {
        bindRow(prepared, i, m_rows[i]);
        if (sqlite3_step(prepared) != SQLITE_DONE)
            return QString::fromUtf8(sqlite3_errmsg(handle));
        sqlite3_reset(prepared);
    }
    return {};
}
