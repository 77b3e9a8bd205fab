#pragma once

#include "history/stored_run.h"

#include <QSqlDatabase>
#include <QString>

// A run's rows put into a PostgreSQL store kRowsPerInsert at a time, each
// batch one JSON array of rows bound as a single value and spread into
// rows by the server: Qt SQL's cost is per bound value, not per byte.
class PostgresRows {
public:
    static constexpr int kRowsPerInsert = 1000;

    PostgresRows(qint64 runId, const QList<StoredRow>& rows);

    // Adds every row inside the transaction db has begun; empty, or the
    // store's reason.
    QString insert(QSqlDatabase& db) const;

private:
    // Rows first to first + count as [[row_no, parent_no, name, owner,
    // bytes ... free], ...], NULL where a figure is none.
    QString json(qsizetype first, qsizetype count) const;

    qint64 m_runId;
    const QList<StoredRow>& m_rows;
};
