#pragma once

#include "history/history_store.h"
#include "reports/report_env.h"

// What a finished run is kept as: the run's own facts and its rows' figures,
// read from the grid the report filled (before any comparison adds to it).
namespace RunRecording {

QString kindOf(ReportKind kind);
// What the report was of: its start directory, \\SERVER\VOLUME, or its volumes.
QString placeOf(const SearchSettings& search);
// The run's own choices as a command line writes them (/ALLSUBS,
// /PATTERN=*.LOG ...): runs are compared only with runs that asked the same.
QString optionsOf(const ReportEnv& env);

StoredRun runOf(const ReportEnv& env, const QString& outcome);
QList<StoredRow> rowsOf(const ResultGrid& grid);

// The name a row is matched by between runs: the owner, the volume, the
// folder's path, or the file's path; bytes that are not UTF-8 as \xHH. The
// grid's columns are looked up once, not for every row.
class RowKeys {
public:
    explicit RowKeys(const ResultGrid& grid);
    QString of(qsizetype row) const;
    bool folders() const { return m_file < 0 && m_name >= 0; } // folder rows: a path each
    bool files() const { return m_file >= 0; }

private:
    const ResultGrid& m_grid;
    int m_file = -1;      // with m_name, the file's folder
    int m_name = -1;      // the folder, volume or owner column
};

// Keeps the run env just finished (as runOf made it), with its rows as the
// grid holds them, in the store env.app names; empty, or why not.
QString keep(const ReportEnv& env, const StoredRun& run);

// The runs a run of env may be compared with: same kind, place and choices.
RunFilter comparableRuns(const ReportEnv& env);

} // namespace RunRecording
