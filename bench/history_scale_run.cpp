// A year of nightly Directory runs from three servers in one history store,
// and what reading such a store costs.
//
//   history_scale_run fill STORE DAYS [FOLDERS]
//       records DAYS nights of /ALLSUBS runs of the volume DATA of the
//       servers SRV1, SRV2 and SRV3 (FOLDERS folders each, 40,000 when not given):
//       nested folders with users' and projects' names, each folder's size
//       growing or shrinking by its own rate, some folders made during the
//       year. The same arguments give the same store.
//   history_scale_run measure STORE
//       prints the bytes a folder row takes beyond its name, the time to read
//       the newest two runs of \\SRV1\DATA\ and fill the comparison as
//       /COMPARE= does, and the time to follow one folder's size across every
//       run of its place, row by row down its path (the index by name).
//
// STORE is an SQLite file or a postgresql:// address, as QUARVO_HISTORY takes.
#include "history/grid_comparison.h"
#include "history/history_store.h"
#include "reports/cell_format.h"
#include "reports/grid_layouts.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlQuery>
#include <QTimeZone>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

namespace {

constexpr int kServers = 3;
constexpr int kMaxDepth = 9;

struct Folder {
    qsizetype parent = -1;
    QString name;
    int depth = 0;
    int born = 0;       // the night it first appears
    double bytes = 0;   // on the first night
    double growth = 0;  // a night's change, as a part of the first night's size
    qint64 files = 0;
    QList<qsizetype> children;
};

QString place(int server) {
    return QStringLiteral("\\\\SRV%1\\DATA\\").arg(server);
}

class TreeMaker {
public:
    TreeMaker(int server, int days) : m_server(server), m_random(std::mt19937_64::result_type(server) * 7919), m_days(days) {}

    // count folders, the volume's root (row 0) among them, parents before children.
    QList<Folder> make(int count) {
        Folder root;
        root.name = place(m_server);
        m_folders = {root};
        for (const char* top : {"users", "projects", "shared", "archive", "scratch", "software"})
            add(0, QLatin1String(top));
        while (m_folders.size() < count)
            add(pickParent(), QString());
        return walkOrder();
    }

private:
    int m_server = 0;
    std::mt19937_64 m_random;
    int m_days;
    QList<Folder> m_folders;

    double uniform() { return std::uniform_real_distribution<>(0, 1)(m_random); }
    int below(int n) { return int(std::uniform_int_distribution<>(0, n - 1)(m_random)); }

    // Mostly one of the latest folders (trees are deep where work goes on), else any.
    qsizetype pickParent() {
        for (;;) {
            const qsizetype recent = std::max<qsizetype>(1, m_folders.size() - 60);
            const qsizetype parent = uniform() < 0.7 ? recent + below(int(m_folders.size() - recent)) : 1 + below(int(m_folders.size() - 1));
            if (m_folders[parent].depth < kMaxDepth)
                return parent;
        }
    }

    QString nameBelow(const Folder& parent) {
        static const QStringList users = {"jsmith", "mgarcia", "lchen", "akowalski", "pdubois", "sokafor", "tnguyen", "emüller", "rpatel", "kjohansson"};
        static const QStringList words = {"Documents", "Mail", "src", "docs", "build", "reports", "Q1", "Q2", "Q3", "Q4", "photos",
                                          "lib", "tmp", "old", "backup", "Meeting notes", "Rechnungen", "data", "results", "drafts",
                                          "releases", "config", "scans", "Übersicht", "invoices", "logs", "test", "media"};
        if (parent.name == QLatin1String("users"))
            return users[below(int(users.size()))] + QString::number(below(400));
        const QString word = words[below(int(words.size()))];
        if (parent.name == QLatin1String("projects") || parent.name == QLatin1String("archive"))
            return QStringLiteral("%1-%2").arg(word.toLower()).arg(2015 + below(11));
        const double kind = uniform();
        if (kind < 0.4)
            return word;
        if (kind < 0.6)
            return QStringLiteral("%1 %2").arg(word).arg(2015 + below(11));
        if (kind < 0.8)
            return QStringLiteral("%1_%2").arg(word, words[below(int(words.size()))].toLower());
        return QStringLiteral("%1-%2").arg(word).arg(below(1000), 3, 10, QLatin1Char('0'));
    }

    void add(qsizetype parent, QString name) {
        Folder& above = m_folders[parent];
        if (name.isEmpty())
            name = nameBelow(above);
        // Names are unique among a folder's children, as on a disk.
        const QString base = name;
        for (int n = 2; std::any_of(above.children.begin(), above.children.end(),
                                    [&](qsizetype c) { return m_folders[c].name == name; });
             ++n)
            name = QStringLiteral("%1 (%2)").arg(base).arg(n);
        Folder folder;
        folder.parent = parent;
        folder.name = name;
        folder.depth = above.depth + 1;
        folder.born = uniform() < 0.99 ? above.born : std::max(above.born, below(m_days));
        folder.bytes = std::exp(std::normal_distribution<>(12.0, 3.0)(m_random));
        folder.growth = std::normal_distribution<>(0.002, 0.004)(m_random);
        folder.files = qint64(folder.bytes / 200000) + below(40);
        above.children.append(m_folders.size());
        m_folders.append(folder);
    }

    // As a walk lists them: each folder, then its children by name.
    QList<Folder> walkOrder() const {
        QList<Folder> ordered;
        ordered.reserve(m_folders.size());
        std::function<void(qsizetype, qsizetype)> visit = [&](qsizetype index, qsizetype parentRow) {
            Folder folder = m_folders[index];
            folder.parent = parentRow;
            folder.children.clear();
            const qsizetype row = ordered.size();
            ordered.append(folder);
            QList<qsizetype> children = m_folders[index].children;
            std::sort(children.begin(), children.end(),
                      [&](qsizetype a, qsizetype b) { return m_folders[a].name < m_folders[b].name; });
            for (const qsizetype child : children)
                visit(child, row);
        };
        visit(0, -1);
        return ordered;
    }
};

// The rows of night day: the folders there by then, each below its parent's row.
QList<StoredRow> rowsOf(const QList<Folder>& tree, int day) {
    QList<StoredRow> rows;
    rows.reserve(tree.size());
    QList<qsizetype> rowOf(tree.size(), -1);
    for (qsizetype i = 0; i < tree.size(); ++i) {
        const Folder& folder = tree[i];
        if (folder.born > day)
            continue;
        StoredRow row;
        row.parent = folder.parent < 0 ? -1 : rowOf[folder.parent];
        row.name = folder.name;
        row.figures.bytes = std::max<qint64>(0, qint64(folder.bytes * (1.0 + folder.growth * (day - folder.born))));
        row.figures.files = folder.files;
        row.figures.allocated = (row.figures.bytes + folder.files * 2048) / 4096 * 4096;
        rowOf[i] = rows.size();
        rows.append(row);
    }
    return rows;
}

StoredRun runOf(int server, int day, int days, const QList<StoredRow>& rows) {
    StoredRun run;
    const QDateTime firstNight = QDateTime::currentDateTimeUtc().addDays(-days).date().startOfDay(QTimeZone::utc()).addSecs(2 * 3600);
    run.started = firstNight.addDays(day).addSecs(server * 600);
    run.durationMs = 40000 + server * 1000;
    run.ended = run.started.addMSecs(run.durationMs);
    run.host = QStringLiteral("srv%1").arg(server);
    run.tree = QStringLiteral("ACME_TREE");
    run.server = QStringLiteral("SRV%1").arg(server);
    run.volume = QStringLiteral("DATA");
    run.kind = QStringLiteral("Directory");
    run.place = place(server);
    run.options = QStringLiteral("/ALLSUBS");
    run.outcome = QStringLiteral("%1 directories").arg(rows.size());
    run.rows = rows.size();
    run.directories = rows.size();
    run.files = 0;
    run.totalBytes = 0;
    for (const StoredRow& row : rows) {
        run.totalBytes += row.figures.bytes;
        run.files += row.figures.files;
    }
    run.version = QStringLiteral(QUARVO_VERSION);
    return run;
}

int fill(const QString& location, int days, int folders) {
    QList<QList<Folder>> trees;
    for (int server = 1; server <= kServers; ++server)
        trees.append(TreeMaker(server, days).make(folders));
    HistoryStore store(location);
    QElapsedTimer timer;
    timer.start();
    qint64 rows = 0;
    for (int day = 0; day < days; ++day) {
        for (int server = 1; server <= kServers; ++server) {
            const QList<StoredRow> night = rowsOf(trees[server - 1], day);
            QString error;
            if (!store.record(runOf(server, day, days, night), night, 400, error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                return 1;
            }
            rows += night.size();
        }
        if ((day + 1) % 30 == 0)
            std::fprintf(stderr, "  %d nights, %lld rows, %.0f s\n", day + 1, rows, timer.elapsed() / 1000.0);
    }
    std::printf("recorded %d runs, %lld rows in %.1f s (%.1f us a row)\n", days * kServers, rows,
                timer.elapsed() / 1000.0, timer.nsecsElapsed() / 1000.0 / double(std::max<qint64>(1, rows)));
    return 0;
}

double median(QList<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::optional<qint64> number(QSqlDatabase db, const QString& sql) {
    QSqlQuery query(db);
    if (!query.exec(sql) || !query.next())
        return std::nullopt;
    return query.value(0).toLongLong();
}

// The store's bytes per row beyond its name's, the rows' table and indexes alike.
void printBytesPerRow(HistoryStore& store) {
    QSqlDatabase db = store.connection();
    const bool postgres = HistoryStore::isPostgres(store.name());
    const qint64 rows = number(db, QStringLiteral("SELECT COUNT(*) FROM run_rows")).value_or(0);
    const qint64 names = number(db, postgres ? QStringLiteral("SELECT SUM(octet_length(name)) FROM run_rows")
                                             : QStringLiteral("SELECT SUM(LENGTH(CAST(name AS BLOB))) FROM run_rows"))
                             .value_or(0);
    QStringList parts;
    qint64 total = 0;
    for (const char* relation : {"run_rows", "run_rows_by_name"}) {
        if (!*relation)
            continue; // SQLite's key is the table itself
        const QString sql = postgres ? QStringLiteral("SELECT pg_relation_size('%1')").arg(QLatin1String(relation))
                                     : QStringLiteral("SELECT SUM(pgsize) FROM dbstat WHERE name = '%1'").arg(QLatin1String(relation));
        const qint64 bytes = number(db, sql).value_or(0);
        total += bytes;
        parts.append(QStringLiteral("%1 %2").arg(QLatin1String(relation)).arg(double(bytes) / double(rows), 0, 'f', 1));
    }
    const double name = double(names) / double(std::max<qint64>(1, rows));
    std::printf("rows: %lld, a name %.1f bytes on average; bytes a row beyond its name: %.1f (target <= 120; %s)\n", rows,
                name, double(total) / double(std::max<qint64>(1, rows)) - name, qPrintable(parts.join(QStringLiteral(", "))));
}

// The newest run's rows in a Directory report's grid, as a walk fills it.
void fillGrid(ResultGrid& grid, const QList<StoredRow>& rows) {
    subInitializeGrid(grid, QStringLiteral("Directory"));
    const QStringList keys = storedRowKeys(rows);
    for (qsizetype i = 0; i < rows.size(); ++i)
        grid.addRow({QString(), keys[i], CellFormat::formatNumber(double(rows[i].figures.bytes) / 1048576.0, QStringLiteral("###,###,##0.00"))},
                    {}, rows[i].figures);
}

// /COMPARE= between the newest two runs of \\SRV1\DATA\: both runs read, the
// newer one's grid filled, the comparison's columns added.
bool timeComparison(const QString& location) {
    QList<double> took;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        HistoryStore store(location);
        QString error;
        RunFilter filter;
        filter.kind = QStringLiteral("Directory");
        filter.place = place(1);
        filter.limit = 2;
        const std::optional<QList<StoredRun>> runs = store.runs(filter, error);
        if (!runs || runs->size() < 2) {
            std::fprintf(stderr, "no two runs to compare: %s\n", qPrintable(error));
            return false;
        }
        const std::optional<QList<StoredRow>> newer = store.rows(runs->at(0).id, error);
        const std::optional<QList<StoredRow>> older = store.rows(runs->at(1).id, error);
        if (!newer || !older)
            return false;
        ResultGrid grid;
        fillGrid(grid, *newer);
        GridComparison::compare(grid, *older);
        took.append(timer.nsecsElapsed() / 1e6);
        if (i == 0)
            std::printf("compare: runs %lld and %lld, %lld and %lld rows, %lld rows in the grid\n", runs->at(0).id, runs->at(1).id,
                        qint64(newer->size()), qint64(older->size()), qint64(grid.rows() - 1));
    }
    std::printf("compare: two runs read and compared in %.0f ms (median of 5; target < 300 ms with two runs, < 1 s at full scale)\n",
                median(took));
    return true;
}

// The row of the newest run of \\SRV1\DATA\ deepest below the root, by its names from the root down.
QStringList deepestPath(const QList<StoredRow>& rows) {
    QList<int> depth(rows.size(), 0);
    qsizetype deepest = 0;
    for (qsizetype i = 0; i < rows.size(); ++i) {
        depth[i] = rows[i].parent < 0 ? 0 : depth[rows[i].parent] + 1;
        if (depth[i] > depth[deepest])
            deepest = i;
    }
    QStringList names;
    for (qsizetype i = deepest; i >= 0; i = rows[i].parent)
        names.prepend(rows[i].name);
    return names;
}

// One folder's size in each run of its place, found as a window following it
// would: row by row down its path, each by (run, parent row, name).
bool timeFollowing(const QString& location) {
    HistoryStore store(location);
    QString error;
    RunFilter filter;
    filter.kind = QStringLiteral("Directory");
    filter.place = place(1);
    const std::optional<QList<StoredRun>> runs = store.runs(filter, error);
    if (!runs || runs->isEmpty())
        return false;
    const std::optional<QList<StoredRow>> newest = store.rows(runs->first().id, error);
    if (!newest)
        return false;
    const QStringList path = deepestPath(*newest);
    QList<double> took;
    qsizetype found = 0;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        QSqlQuery root(store.connection());
        root.prepare(QStringLiteral("SELECT row_no, bytes FROM run_rows WHERE run_id = ? AND parent_no IS NULL AND name = ?"));
        QSqlQuery below(store.connection());
        below.prepare(QStringLiteral("SELECT row_no, bytes FROM run_rows WHERE run_id = ? AND parent_no = ? AND name = ?"));
        found = 0;
        for (const StoredRun& run : *runs) {
            std::optional<qint64> rowNo;
            for (qsizetype level = 0; level < path.size() && (level == 0 || rowNo); ++level) {
                QSqlQuery& query = level == 0 ? root : below;
                query.bindValue(0, run.id);
                if (level > 0)
                    query.bindValue(1, *rowNo);
                query.bindValue(level == 0 ? 1 : 2, path[level]);
                if (!query.exec())
                    return false;
                rowNo = query.next() ? std::optional<qint64>(query.value(0).toLongLong()) : std::nullopt;
                if (rowNo && level + 1 == path.size())
                    ++found;
            }
        }
        took.append(timer.nsecsElapsed() / 1e6);
    }
    std::printf("follow: %s (%lld levels) in %lld runs, found in %lld: %.0f ms (median of 5)\n",
                qPrintable(path.first() + path.mid(1).join(QLatin1Char('\\'))), qint64(path.size()), qint64(runs->size()), qint64(found),
                median(took));
    return true;
}

int measure(const QString& location) {
    HistoryStore store(location);
    if (const QString error = store.open(); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    if (!HistoryStore::isPostgres(location))
        QSqlQuery(store.connection()).exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    printBytesPerRow(store);
    return timeComparison(location) && timeFollowing(location) ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("fill"))
        return fill(args[2], args[3].toInt(), args.size() > 4 ? args[4].toInt() : 40000);
    if (args.size() == 3 && args[1] == QLatin1String("measure"))
        return measure(args[2]);
    std::fprintf(stderr, "history_scale_run fill STORE DAYS [FOLDERS] | measure STORE\n");
    return 2;
}
