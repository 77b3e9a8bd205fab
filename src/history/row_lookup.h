#pragma once

#include "reports/row_figures.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <optional>

// The columns of a stored row's figures, in RowFigures' order.
extern const char* const kStoredFigureColumns;
// The figures read from query's columns first, first + 1, ...
RowFigures storedFiguresAt(const QSqlQuery& query, int first);

// Finds the row of one name (an owner, a volume, a file's or a folder's
// path) in a stored run. A folder below another row of its run is stored by
// its own name under its parent, so its path is followed down from the
// longest stored path it begins with, one name at a time: each step is one
// look-up, however many rows the run holds.
class RowLookup {
public:
    explicit RowLookup(const QSqlDatabase& db);

    // The row's figures; nothing when the run has no such row (or the
    // store failed: error then says why).
    std::optional<RowFigures> find(qint64 runId, const QString& key, QString& error);

private:
    struct Found {
        qint64 rowNo = -1;
        RowFigures figures;
    };
    std::optional<Found> top(qint64 runId, const QString& name, QString& error);
    std::optional<Found> below(qint64 runId, qint64 parent, const QString& name, QString& error);
    std::optional<Found> fetch(QSqlQuery& query, QString& error);
    std::optional<RowFigures> descend(qint64 runId, Found found, const QString& rest, QString& error);

    QSqlQuery m_top;
    QSqlQuery m_below;
};
