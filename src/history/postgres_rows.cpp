#include "history/postgres_rows.h"

#include <QSqlError>
#include <QSqlQuery>

#include <algorithm>

namespace {

void appendNumber(QString& out, qint64 value) {
    if (value == RowFigures::kNone)
        out += QLatin1String("null");
    else
        out += QString::number(value);
}

// A JSON string: quotes, backslashes and control characters escaped, the
// rest as it is.
void appendText(QString& out, const QString& text) {
    if (text.isNull()) {
        out += QLatin1String("null");
        return;
    }
    out += QLatin1Char('"');
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\'))
            out += QLatin1Char('\\');
        if (c.unicode() < 0x20)
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            out += c;
    }
    out += QLatin1Char('"');
}

} // namespace

PostgresRows::PostgresRows(qint64 runId, const QList<StoredRow>& rows) : m_runId(runId), m_rows(rows) {}

QString PostgresRows::json(qsizetype first, qsizetype count) const {
    QString out;
    out.reserve(count * 96);
    out += QLatin1Char('[');
    for (qsizetype i = first; i < first + count; ++i) {
        const StoredRow& row = m_rows[i];
        out += i == first ? QLatin1String("[") : QLatin1String(",[");
        out += QString::number(i);
        out += QLatin1Char(',');
        appendNumber(out, row.parent);
        out += QLatin1Char(',');
        appendText(out, row.name);
        out += QLatin1Char(',');
        appendText(out, row.owner);
        const RowFigures& f = row.figures;
        for (const qint64 figure : {f.bytes, f.allocated, f.files, f.modified, f.total, f.purgeable, f.pending, f.free}) {
            out += QLatin1Char(',');
            appendNumber(out, figure);
        }
        out += QLatin1Char(']');
    }
    out += QLatin1Char(']');
    return out;
}

QString PostgresRows::insert(QSqlDatabase& db) const {
    QSqlQuery query(db);
    // The run's id is ours, a number: written into the statement, not bound.
    query.prepare(QStringLiteral("INSERT INTO run_rows (run_id, row_no, parent_no, name, owner, bytes, allocated, "
                                 "files, modified, total, purgeable, pending, free) "
                                 "SELECT %1, (r->>0)::integer, (r->>1)::integer, r->>2, r->>3, (r->>4)::bigint, "
                                 "(r->>5)::bigint, (r->>6)::bigint, (r->>7)::bigint, (r->>8)::bigint, "
                                 "(r->>9)::bigint, (r->>10)::bigint, (r->>11)::bigint "
                                 "FROM jsonb_array_elements(CAST(? AS jsonb)) AS r")
                      .arg(m_runId));
    for (qsizetype first = 0; first < m_rows.size(); first += kRowsPerInsert) {
        const qsizetype count = std::min<qsizetype>(kRowsPerInsert, m_rows.size() - first);
        query.bindValue(0, json(first, count));
        if (!query.exec())
            return query.lastError().text().trimmed();
    }
    return {};
}
