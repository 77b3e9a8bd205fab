#pragma once

#include "history/stored_run.h"

#include <QSqlQuery>
#include <QString>

#include <vector>

// A run's rows put into the store many at a time, one INSERT of up to
// kRowsPerInsert rows. Only the columns some row of the run fills are bound
// (a File run's rows have no volume figures, a folder's no owner), the others
// are left NULL: binding a value costs more in Qt SQL than storing it.
class RowBatches {
public:
    static constexpr int kRowsPerInsert = 100; // at most 13 values each: well under both databases' limits

    RowBatches(qint64 runId, const QList<StoredRow>& rows);

    // Adds every row through query; empty, or the store's reason.
    QString insert(QSqlQuery& query) const;

private:
    enum class Column { Parent, Name, Owner, Bytes, Allocated, Files, Modified, Total, Purgeable, Pending, Free };

    QString statement(int rows) const;
    void bind(QSqlQuery& query, qsizetype index) const;
    static QVariant valueOf(const StoredRow& row, Column column);

    qint64 m_runId;
    const QList<StoredRow>& m_rows;
    std::vector<Column> m_columns; // what the rows fill
};
