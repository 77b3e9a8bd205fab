#include "history/run_recording.h"

#include "batch/command_line_run.h"
#include "fsview/name_bytes.h"

#include <QHash>
#include <QSysInfo>

#include <cmath>

namespace RunRecording {

namespace {

// The switches that say where a run went, not what it asked.
bool isPlaceSwitch(const QString& word) {
    for (const char* prefix : {"/T=", "/F=", "/S=", "/V=", "/D=", "/OUTFILE=", "/APPEND", "/HEADINGS"}) {
        if (word.startsWith(QLatin1String(prefix)))
            return true;
    }
    return false;
}

int column(const ResultGrid& grid, const char* heading) {
    return grid.fcnFindColumn(QLatin1String(heading));
}

qint64 totalBytesOf(const ReportEnv& env) {
    const ReportKind kind = env.search.tabSearch;
    // File and Date runs add up their files in bytes, Owner and Directory runs in megabytes.
    if (kind == ReportKind::File || kind == ReportKind::Date)
        return qint64(std::llround(env.run.sizeTotal));
    if (kind != ReportKind::Volume)
        return qint64(std::llround(env.run.sizeTotal * 1048576.0));
    qint64 used = 0;
    for (qsizetype row = 1; row < env.grid.rows(); ++row)
        used += std::max<qint64>(0, env.grid.figures(row).bytes);
    return used;
}

// A folder row below one listed before it names only itself.
void placeBelowParent(StoredRow& row, const QString& path, QHash<QString, qsizetype>& seen) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('\\'));
    if (slash > 0) {
        auto parent = seen.constFind(path.left(slash));
        if (parent == seen.constEnd())
            parent = seen.constFind(path.left(slash + 1)); // the start, written with its backslash
        if (parent != seen.constEnd()) {
            row.parent = *parent;
            row.name = path.mid(slash + 1);
        }
    }
}

} // namespace

QString kindOf(ReportKind kind) {
    static const QStringList names = {QStringLiteral("Owner"), QStringLiteral("Volume"), QStringLiteral("Directory"),
                                      QStringLiteral("File"), QStringLiteral("Date")};
    return names.value(int(kind) - 1);
}

QString placeOf(const SearchSettings& search) {
    switch (search.tabSearch) {
    case ReportKind::Owner:
        return QStringLiteral("\\\\%1\\%2").arg(search.cmbServer.text, search.cmbVolumeList.text);
    case ReportKind::Volume: return search.lstSelectedVolumes.join(QLatin1Char(','));
    case ReportKind::Directory:
    case ReportKind::File:
    case ReportKind::Date: return search.lblDirectory;
    }
    return {};
}

QString optionsOf(const ReportEnv& env) {
    CommandLineRun run{env.app.treeName, env.search, QString(), false, false};
    QStringList words = run.switches();
    words.removeIf(isPlaceSwitch);
    return words.join(QLatin1Char(' '));
}

StoredRun runOf(const ReportEnv& env, const QString& outcome) {
    StoredRun run;
    run.ended = QDateTime::currentDateTimeUtc();
    run.durationMs = env.run.clock.isValid() ? env.run.clock.elapsed() : 0;
    run.started = run.ended.addMSecs(-run.durationMs);
    run.host = QSysInfo::machineHostName();
    run.tree = env.app.treeName;
    run.server = env.search.tabSearch == ReportKind::Volume ? QString() : env.search.cmbServer.text;
    run.volume = env.search.tabSearch == ReportKind::Volume ? QString() : env.search.cmbVolumeList.text;
    run.kind = kindOf(env.search.tabSearch);
    run.place = placeOf(env.search);
    run.options = optionsOf(env);
    run.outcome = outcome;
    run.totalBytes = totalBytesOf(env);
    run.rows = env.grid.rows() - 1;
    run.directories = qint64(env.run.progress.directories);
    run.files = qint64(env.run.progress.files);
    run.unreadable = qint64(env.client.unreadableEntries() + env.run.unreadableEntries);
    run.version = QStringLiteral(QUARVO_VERSION);
    return run;
}

RowKeys::RowKeys(const ResultGrid& grid) : m_grid(grid) {
    const auto found = [&grid](const char* heading) {
        const int col = column(grid, heading);
        return col == ResultGrid::kNotFound ? -1 : col;
    };
    for (const char* heading : {"Directory", "Volume", "Owner"}) {
        if ((m_name = found(heading)) >= 0)
            break;
    }
    if (const int file = found("File"); file >= 0 && found("Directory") >= 0) {
        m_file = file;
        m_name = found("Directory");
    }
}

QString RowKeys::of(qsizetype row) const {
    if (m_name < 0 || row < 0 || row >= m_grid.rows())
        return {};
    // Read in place and joined in one allocation: a File run makes 65,000 of them.
    const QStringList& cells = m_grid.row(row);
    if (m_file < 0)
        return NameBytes::shown(cells.at(m_name));
    QString path;
    path.reserve(cells.at(m_name).size() + 1 + cells.at(m_file).size());
    path.append(cells.at(m_name)).append(QLatin1Char('\\')).append(cells.at(m_file));
    return NameBytes::shown(path);
}

QList<StoredRow> rowsOf(const ResultGrid& grid) {
    const RowKeys keys(grid);
    const int owner = column(grid, "Owner");
    const bool ownerOfFile = owner != ResultGrid::kNotFound && keys.files();
    QList<StoredRow> rows;
    rows.reserve(grid.rows());
    QHash<QString, qsizetype> seen;
    for (qsizetype r = 1; r < grid.rows(); ++r) {
        StoredRow row;
        row.name = keys.of(r);
        if (ownerOfFile)
            row.owner = grid.cell(r, owner).trimmed();
        row.figures = grid.figures(r);
        if (keys.folders()) {
            const QString path = row.name;
            placeBelowParent(row, path, seen);
            seen.insert(path, rows.size());
        }
        rows.append(row);
    }
    return rows;
}

QString keep(const ReportEnv& env, const StoredRun& run) {
    HistoryStore store(env.app.historyLocation);
    QString error;
    store.record(run, rowsOf(env.grid), env.app.historyKeepDays, error);
    return error;
}

RunFilter comparableRuns(const ReportEnv& env) {
    RunFilter filter;
    filter.kind = kindOf(env.search.tabSearch);
    filter.place = placeOf(env.search);
    filter.options = optionsOf(env);
    filter.sameOptions = true;
    return filter;
}

} // namespace RunRecording
