#pragma once

#include "history/stored_run.h"

#include <QSqlDatabase>
#include <QString>

// A run's rows put into an SQLite store through the connection's own
// handle: one statement prepared once, each value bound by SQLite's C API.
// Qt SQL makes a name and a hash entry for every value bound, which cost a
// File run of 65,000 rows more than SQLite's own work; this path costs
// about what SQLite does.
class SqliteRows {
public:
    SqliteRows(qint64 runId, const QList<StoredRow>& rows);

    // Adds every row inside the transaction db has begun; empty, or the
    // store's reason.
    QString insert(QSqlDatabase& db) const;

private:
    qint64 m_runId;
    const QList<StoredRow>& m_rows;
};
