#pragma once

#include "reports/row_figures.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariant>

// One report run as the history keeps it.
struct StoredRun {
    qint64 id = 0;         // given by the store
    QDateTime started;     // UTC
    QDateTime ended;
    QString host;
    QString tree;
    QString server;
    QString volume;
    QString kind;          // "Owner", "Volume", "Directory", "File", "Date"
    QString place;         // what was reported on: a start directory, \\SERVER\VOLUME, a list of volumes
    QString options;       // the run's own switches, as a command line writes them
    QString outcome;       // the closing status
    qint64 totalBytes = RowFigures::kNone;
    qint64 rows = 0;
    qint64 directories = 0;
    qint64 files = 0;
    qint64 unreadable = 0;
    qint64 durationMs = 0;
    QString version;       // of the program that ran it
};

// One row of a stored run. A folder row below another of the same run
// names only itself below that one (parent, an index into the run's rows),
// so a run of 40,000 folders does not store each path whole.
struct StoredRow {
    qint64 parent = -1;
    QString name;
    QString owner;
    RowFigures figures;
};

// A figure as the store holds it: NULL for one the report does not have.
QVariant nullableNumber(qint64 value);

// The rows' own names: each folder's whole path again.
QStringList storedRowKeys(const QList<StoredRow>& rows);
