#include "history/row_lookup.h"

#include <QSqlError>
#include <QVariant>

const char* const kStoredFigureColumns = "bytes, allocated, files, modified, total, purgeable, pending, free";

RowFigures storedFiguresAt(const QSqlQuery& query, int first) {
    RowFigures f;
    std::int64_t* figures[] = {&f.bytes, &f.allocated, &f.files, &f.modified, &f.total, &f.purgeable, &f.pending, &f.free};
    for (int i = 0; i < 8; ++i) {
        const QVariant value = query.value(first + i);
        *figures[i] = value.isNull() ? RowFigures::kNone : value.toLongLong();
    }
    return f;
}

RowLookup::RowLookup(const QSqlDatabase& db) : m_top(db), m_below(db) {
    const QString columns = QStringLiteral("SELECT row_no, %1 FROM run_rows WHERE run_id = ? AND ")
                                .arg(QLatin1String(kStoredFigureColumns));
    m_top.prepare(columns + QStringLiteral("parent_no IS NULL AND name = ?"));
    m_below.prepare(columns + QStringLiteral("parent_no = ? AND name = ?"));
}

std::optional<RowLookup::Found> RowLookup::fetch(QSqlQuery& query, QString& error) {
    if (!query.exec()) {
        error = query.lastError().text().trimmed();
        return std::nullopt;
    }
    std::optional<Found> found;
    if (query.next())
        found = Found{query.value(0).toLongLong(), storedFiguresAt(query, 1)};
    query.finish();
    return found;
}

std::optional<RowLookup::Found> RowLookup::top(qint64 runId, const QString& name, QString& error) {
    m_top.bindValue(0, runId);
    m_top.bindValue(1, name);
    return fetch(m_top, error);
}

std::optional<RowLookup::Found> RowLookup::below(qint64 runId, qint64 parent, const QString& name, QString& error) {
    m_below.bindValue(0, runId);
    m_below.bindValue(1, parent);
    m_below.bindValue(2, name);
    return fetch(m_below, error);
}

std::optional<RowFigures> RowLookup::descend(qint64 runId, Found found, const QString& rest, QString& error) {
    for (const QString& name : rest.split(QLatin1Char('\\'), Qt::SkipEmptyParts)) {
        const std::optional<Found> next = below(runId, found.rowNo, name, error);
        if (!next)
            return std::nullopt;
        found = *next;
    }
    return found.figures;
}

std::optional<RowFigures> RowLookup::find(qint64 runId, const QString& key, QString& error) {
    if (const std::optional<Found> whole = top(runId, key, error))
        return whole->figures;
    // The longest stored path the key begins with, then down from it.
    for (qsizetype cut = key.lastIndexOf(QLatin1Char('\\')); cut > 0 && error.isEmpty();
         cut = key.lastIndexOf(QLatin1Char('\\'), cut - 1)) {
        for (const QString& stored : {key.left(cut), key.left(cut + 1)}) {
            if (const std::optional<Found> start = top(runId, stored, error))
                return descend(runId, *start, key.mid(cut + 1), error);
        }
    }
    return std::nullopt;
}
