#include "history/row_batches.h"

#include <QSqlError>

#include <algorithm>
#include <QVariant>

namespace {

const char* nameOf(int column) {
    static constexpr const char* kNames[] = {"parent_no", "name",  "owner",     "bytes",   "allocated", "files",
                                            "modified",  "total", "purgeable", "pending", "free"};
    return kNames[column];
}

} // namespace

RowBatches::RowBatches(qint64 runId, const QList<StoredRow>& rows) : m_runId(runId), m_rows(rows) {
    for (int c = int(Column::Parent); c <= int(Column::Free); ++c) {
        const Column column = Column(c);
        const bool filled = column == Column::Name ||
                            std::any_of(rows.begin(), rows.end(),
                                        [column](const StoredRow& row) { return !valueOf(row, column).isNull(); });
        if (filled)
            m_columns.push_back(column);
    }
}

QString RowBatches::statement(int rows) const {
    // The run's id is ours, a number: written into the statement, not bound.
    QString sql = QStringLiteral("INSERT INTO run_rows (run_id, row_no");
    QString one = QStringLiteral("(%1,?").arg(m_runId);
    for (const Column column : m_columns) {
        sql += QStringLiteral(", ") + QLatin1String(nameOf(int(column)));
        one += QStringLiteral(",?");
    }
    sql += QStringLiteral(") VALUES ");
    one += QLatin1Char(')');
    for (int i = 0; i < rows; ++i)
        sql += (i ? QStringLiteral(",") : QString()) + one;
    return sql;
}

QVariant RowBatches::valueOf(const StoredRow& row, Column column) {
    const RowFigures& f = row.figures;
    switch (column) {
    case Column::Parent: return nullableNumber(row.parent);
    case Column::Name: return row.name;
    case Column::Owner: return row.owner.isNull() ? QVariant(QMetaType(QMetaType::QString)) : QVariant(row.owner);
    case Column::Bytes: return nullableNumber(f.bytes);
    case Column::Allocated: return nullableNumber(f.allocated);
    case Column::Files: return nullableNumber(f.files);
    case Column::Modified: return nullableNumber(f.modified);
    case Column::Total: return nullableNumber(f.total);
    case Column::Purgeable: return nullableNumber(f.purgeable);
    case Column::Pending: return nullableNumber(f.pending);
    case Column::Free: return nullableNumber(f.free);
    }
    return {};
}

void RowBatches::bind(QSqlQuery& query, qsizetype index) const {
    query.addBindValue(qint64(index));
    for (const Column column : m_columns)
        query.addBindValue(valueOf(m_rows[index], column));
}

QString RowBatches::insert(QSqlQuery& query) const {
    for (qsizetype first = 0; first < m_rows.size(); first += kRowsPerInsert) {
        const int count = int(std::min<qsizetype>(kRowsPerInsert, m_rows.size() - first));
        if (first == 0 || count < kRowsPerInsert)
            query.prepare(statement(count));
        for (int i = 0; i < count; ++i)
            bind(query, first + i);
        if (!query.exec())
            return query.lastError().text().trimmed();
    }
    return {};
}
