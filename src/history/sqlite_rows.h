#pragma once

#include "history/stored_run.h"

#include <QSqlDatabase>
#include <QString>

// A run's rows put into an SQLite store through the connection's own
// handle: one statement prepared once, each value bound by SQLite's C API.
// Qt SQL makes a name and a hash entry for every value bound, which cost a
// File run of 65,000 rows more than SQLite's own work; this path costs
// about what SQLite does.
//
// A run's rows wait in a table of the connection's own (stage(), no lock on
// the store) while its results file is written; the store's write lock is
// taken only to copy them in (copyStaged()), so a run writing to a slow
// reader never holds other recorders up.
class SqliteRows {
public:
    SqliteRows(qint64 runId, const QList<StoredRow>& rows);

    // Adds every row inside the transaction db has begun; empty, or the
    // store's reason.
    QString insert(QSqlDatabase& db) const;
    // Puts the rows into the connection's own table in a transaction of
    // their own; empty, or the reason.
    QString stage(QSqlDatabase& db) const;
    // Inside the store's transaction: the staged rows as the run's.
    static QString copyStaged(QSqlDatabase& db, qint64 runId);

private:
    QString insertInto(QSqlDatabase& db, const char* table) const;

    qint64 m_runId;
    const QList<StoredRow>& m_rows;
};
