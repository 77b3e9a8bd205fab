// Runs kept in the history and compared with later ones, by the quarvo
// executable as cron would run it, against a store of its own.
#include "du_figure.h"
#include "postgres_server.h"
#include "root_safe_folder.h"
#include "scoped_tmpfs.h"

#include "history/history_store.h"
#include "history/stored_run_tree.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <limits>

#include <fcntl.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QString err;
};

class History : public ::testing::Test {
protected:
    void SetUp() override {
        volume = dir.path() + "/vol";
        for (const char* folder : {"/a", "/b"})
            QDir().mkpath(volume + folder);
        sized("a/one", 3 << 20);
        sized("b/two", 1 << 20);
        QFile site(dir.path() + "/site.toml");
        site.open(QIODevice::WriteOnly);
        site.write(QString("[[tree]]\nname = \"ACME_TREE\"\ndirectory = \"inline\"\ndefault = true\n\n"
                           "[[server]]\nname = \"FS1\"\nvolumes = { VOL1 = \"%1\" }\n")
                       .arg(volume)
                       .toUtf8());
        env.insert("QUARVO_SITE", site.fileName());
        env.insert("QUARVO_HISTORY", store());
    }

    QString store() const { return dir.path() + "/history.sqlite"; }

    // A file of the given length, all of it a hole: sizes without the writing.
    void sized(const char* name, qint64 bytes) {
        QFile file(volume + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_TRUE(file.resize(bytes));
    }

    Outcome run(QStringList args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QUARVO_BINARY, args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1, QString::fromUtf8(p.readAllStandardError())};
    }

    Outcome directoryRun(const QString& csv, const QStringList& more = {}) {
        return run(QStringList{"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/ALLSUBS", "/OUTFILE=" + out(csv)} + more);
    }

    QString out(const QString& name) const { return dir.path() + "/" + name; }

    // The lines of a results file, split at the commas (no name here holds one).
    QList<QStringList> rows(const QString& name) const {
        QFile file(out(name));
        QList<QStringList> lines;
        if (file.open(QIODevice::ReadOnly))
            for (const QByteArray& line : file.readAll().split('\n'))
                if (!line.trimmed().isEmpty())
                    lines.append(QString::fromUtf8(line.trimmed()).split(','));
        return lines;
    }

    // A folder's own files, in megabytes, as find sees them.
    double findMegabytes(const QString& folder) const {
        return double(commandFigure("find", {volume + folder, "-maxdepth", "1", "-type", "f", "-printf", "%s\\n"}, true)
                          .value_or(0)) / 1048576.0;
    }

    QTemporaryDir dir{rootSafeTemplate()};
    QString volume;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

// "\\FS1\VOL1\a" -> its fields: the row's own, then Change(MB) and Change %.
QStringList rowOf(const QList<QStringList>& rows, const QString& folder) {
    for (const QStringList& row : rows)
        if (row.size() > 3 && row[3] == "\\\\FS1\\VOL1" + folder)
            return row;
    return {};
}

// Rows whose names and figures a store could bend: quotes, backslashes,
// line breaks, control characters, text that looks like JSON or an escape,
// figures past a double's exact range, figures a report does not have.
QList<StoredRow> awkwardRows() {
    QList<StoredRow> rows;
    const auto add = [&rows](qint64 parent, const QString& name, qint64 bytes) {
        StoredRow row;
        row.parent = parent;
        row.name = name;
        row.figures.bytes = bytes;
        rows.append(row);
        return &rows.last();
    };
    add(-1, "\\\\FS1\\VOL1\\", 0)->figures.files = 2;
    add(0, "it's \"quoted\" \\ and \\\\ back", std::numeric_limits<qint64>::max());
    add(0, "line\nbreak\r\ttab \x01\x1f end", (qint64(1) << 53) + 1)->figures.modified = -7;
    add(1, "[1,\"]\"]}\\u0041 \\x80 ünï 名前 😀", 0)->owner = "O'Brien\\\"";
    StoredRow& none = *add(-1, "\\\\FS1\\VOL1\\a\\file.log", RowFigures::kNone);
    none.figures.total = std::numeric_limits<qint64>::min() + 2;
    none.figures.free = 1;
    return rows;
}

// The rows as recorded come back exactly.
void expectRoundTrip(HistoryStore& history, const QList<StoredRow>& rows) {
    QString error;
    StoredRun run;
    run.started = QDateTime::currentDateTimeUtc();
    run.version = "test";
    run.kind = "Directory";
    run.place = "\\\\FS1\\VOL1\\";
    const std::optional<qint64> id = history.record(run, rows, 400, error);
    ASSERT_TRUE(id) << error.toStdString();
    const std::optional<QList<StoredRow>> back = history.rows(*id, error);
    ASSERT_TRUE(back) << error.toStdString();
    ASSERT_EQ(back->size(), rows.size());
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const StoredRow& a = rows[i];
        const StoredRow& b = back->at(i);
        EXPECT_EQ(b.parent, a.parent) << i;
        EXPECT_EQ(b.name, a.name) << i;
        EXPECT_EQ(b.owner, a.owner) << i;
        const RowFigures& f = a.figures;
        const RowFigures& g = b.figures;
        EXPECT_EQ(QList<qint64>({g.bytes, g.allocated, g.files, g.modified, g.total, g.purgeable, g.pending, g.free}),
                  QList<qint64>({f.bytes, f.allocated, f.files, f.modified, f.total, f.purgeable, f.pending, f.free}))
            << i;
    }
}

} // namespace

TEST_F(History, TwoRunsOfAChangedTreeGiveEachFoldersChangeAsFindSeesIt) {
    QDir().mkpath(volume + "/a/deep");
    sized("a/deep/five", 1 << 20);
    ASSERT_EQ(directoryRun("first.csv").status, 0);
    const double aBefore = findMegabytes("/a");
    const double bBefore = findMegabytes("/b");
    sized("a/three", 2 << 20);
    QFile::remove(volume + "/b/two");
    QDir().rmdir(volume + "/b");
    QDir().mkpath(volume + "/c");
    sized("c/four", 5 << 20);
    const Outcome second = directoryRun("second.csv", {"/COMPARE=LAST"});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const QList<QStringList> lines = rows("second.csv");
    // Run date, server, volume, directory, size, then the change.
    const QStringList a = rowOf(lines, "\\a");
    ASSERT_EQ(a.size(), 7);
    EXPECT_EQ(a[5].toDouble(), findMegabytes("/a") - aBefore);
    EXPECT_EQ(a[6].trimmed(), "66.67");
    const QStringList c = rowOf(lines, "\\c");
    ASSERT_EQ(c.size(), 7);
    EXPECT_EQ(c[5].toDouble(), findMegabytes("/c"));
    EXPECT_EQ(c[6], "New");
    // Gone since: nothing left of it, its whole size lost.
    const QStringList b = rowOf(lines, "\\b");
    ASSERT_EQ(b.size(), 7);
    EXPECT_EQ(b[4].toDouble(), 0.0);
    EXPECT_EQ(b[5].toDouble(), -bBefore);
    EXPECT_EQ(b[6], "Gone");
    // Both runs kept; a run with /NOHISTORY is not.
    ASSERT_EQ(directoryRun("third.csv", {"/NOHISTORY"}).status, 0);
    QProcess list;
    list.setProcessEnvironment(env);
    list.start(QUARVO_BINARY, {"--history", "/F=DIRECTORY"});
    list.waitForFinished(60000);
    const QStringList listed = QString::fromUtf8(list.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(listed.size(), 3) << listed.join('\n').toStdString();
    EXPECT_TRUE(listed[1].contains("Directory  \\\\FS1\\VOL1\\  /ALLSUBS")) << listed[1].toStdString();
    EXPECT_TRUE(listed[1].trimmed().startsWith("2  "));
    // Each folder followed across the kept runs, a folder below another by its own name.
    HistoryStore history(store());
    QString error;
    const auto figure = [&](const char* folder) {
        const auto found = history.figuresOf({1, 2}, QString("\\\\FS1\\VOL1\\") + folder, error);
        QList<qint64> bytes;
        for (const std::optional<RowFigures>& f : found.value_or(QList<std::optional<RowFigures>>{}))
            bytes.append(f ? f->bytes : -1);
        return bytes;
    };
    EXPECT_EQ(figure("a"), (QList<qint64>{3 << 20, 5 << 20})) << error.toStdString();
    EXPECT_EQ(figure("a\\deep"), (QList<qint64>{1 << 20, 1 << 20}));
    EXPECT_EQ(figure("b"), (QList<qint64>{1 << 20, -1}));
    EXPECT_EQ(figure("a\\none"), (QList<qint64>{-1, -1}));
    // The second run as a size tree: each folder sums what find counts below it.
    const std::optional<QList<StoredRow>> kept = history.rows(2, error);
    ASSERT_TRUE(kept) << error.toStdString();
    const std::shared_ptr<SizeTree> tree = StoredRunTree::of(*kept, "\\\\FS1\\VOL1\\");
    const auto findBytes = [this](const QString& folder) {
        return commandFigure("find", {volume + folder, "-type", "f", "-printf", "%s\\n"}, true).value_or(0);
    };
    EXPECT_EQ(tree->bytes(0, false), findBytes(""));
    for (SizeTree::Index i = 1; i < tree->size(); ++i) {
        const QString path = QFile::decodeName(tree->path(i, '\\'));
        EXPECT_EQ(tree->bytes(i, false), findBytes("/" + path.mid(11).replace('\\', '/'))) << path.toStdString();
    }
    EXPECT_EQ(tree->path(tree->children(tree->children(0)[0])[0], '\\'), "\\\\FS1\\VOL1\\a\\deep");
}

TEST_F(History, AnOwnersChangeIsWhatDuCountsOfTheVolumeBetweenRuns) {
    const QStringList owners{"/T=ACME_TREE", "/F=OWNER", "/S=FS1", "/V=VOL1", "/C=ACME_TREE", "/OWNER=ALL+SUB"};
    ASSERT_EQ(run(owners + QStringList{"/OUTFILE=" + out("first.csv")}).status, 0);
    const std::optional<std::uint64_t> before = commandFigure("du", {"-sB1", volume});
    QFile grown(volume + "/b/written");
    ASSERT_TRUE(grown.open(QIODevice::WriteOnly) && grown.write(QByteArray(2 << 20, 'x')) == 2 << 20);
    grown.close();
    const Outcome second = run(owners + QStringList{"/COMPARE=LAST", "/OUTFILE=" + out("second.csv")});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const std::optional<std::uint64_t> after = commandFigure("du", {"-sB1", volume});
    ASSERT_TRUE(before && after);
    // Every file here is root's: one owner, its change the volume's.
    const QList<QStringList> lines = rows("second.csv");
    ASSERT_EQ(lines.size(), 1);
    ASSERT_EQ(lines[0].size(), 7);
    EXPECT_EQ(lines[0][5], QString::number(double(*after - *before) / 1048576.0, 'f', 2));
}

// File and Date runs count their total in bytes, Directory runs theirs in
// megabytes: each kept run's total is what find counts, in bytes.
TEST_F(History, EachKindOfRunKeepsItsTotalInBytesAsFindCountsIt) {
    const QStringList runs[] = {{"/F=FILE", "/PATTERN=*"}, {"/F=DATE", "/OPT=MODIFY", "/OLDERTHAN=2100-01-01"}, {"/F=DIRECTORY", "/ALLSUBS"}};
    for (const QStringList& kind : runs)
        ASSERT_EQ(run(QStringList{"/T=ACME_TREE", "/D=\\\\FS1\\VOL1", "/OUTFILE=" + out("run.csv")} + kind).status, 0);
    const std::optional<std::uint64_t> found = commandFigure("find", {volume, "-type", "f", "-printf", "%s\\n"}, true);
    HistoryStore history(store());
    QString error;
    const std::optional<QList<StoredRun>> stored = history.runs({}, error);
    ASSERT_TRUE(stored && found) << error.toStdString();
    ASSERT_EQ(stored->size(), 3);
    for (const StoredRun& kept : *stored)
        EXPECT_EQ(kept.totalBytes, qint64(*found)) << kept.kind.toStdString();
}

TEST_F(History, ACompareThatNamesNoSuchRunFailsBeforeAnythingIsWritten) {
    ASSERT_EQ(directoryRun("first.csv").status, 0);
    for (const QString& compare : {QString("/COMPARE=99"), QString("/COMPARE=2001-01-01"), QString("/COMPARE=soon")}) {
        const Outcome refused = directoryRun("refused.csv", {compare});
        EXPECT_EQ(refused.status, 1) << compare.toStdString();
        EXPECT_TRUE(refused.err.contains("/COMPARE=")) << refused.err.toStdString();
        EXPECT_FALSE(QFile::exists(out("refused.csv")));
    }
    // Run 1 is an All Sub-Directories run: an Immediate one is another question.
    const Outcome other = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/IMMSUBS", "/COMPARE=1",
                               "/OUTFILE=" + out("refused.csv")});
    EXPECT_EQ(other.status, 1);
    EXPECT_TRUE(other.err.contains("(/ALLSUBS), not a Directory report of \\\\FS1\\VOL1\\ (/IMMSUBS)"))
        << other.err.toStdString();
}

TEST_F(History, AStoreThatCannotBeUsedCostsTheRecordNotTheReport) {
    // Below a file, where no folder can be; then a store of a newer program.
    env.insert("QUARVO_HISTORY", volume + "/a/one/history.sqlite");
    Outcome run = directoryRun("written.csv");
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(run.err.contains("Written, not recorded: the history " + volume + "/a/one/history.sqlite cannot be "
                                 "opened: " + volume + "/a/one: Not a directory"))
        << run.err.toStdString();
    EXPECT_EQ(rows("written.csv").size(), 3);
    env.insert("QUARVO_HISTORY", store());
    ASSERT_EQ(directoryRun("first.csv").status, 0);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "newer");
        db.setDatabaseName(store());
        ASSERT_TRUE(db.open());
        ASSERT_TRUE(QSqlQuery(db).exec("UPDATE quarvo_schema SET version = 99"));
        db.close();
    }
    QSqlDatabase::removeDatabase("newer");
    QFile::remove(out("written.csv"));
    run = directoryRun("written.csv", {"/COMPARE=LAST"});
    EXPECT_EQ(run.status, 4);
    EXPECT_TRUE(run.err.contains("made by a newer Quarvo (its tables are of version 99")) << run.err.toStdString();
    // The change fields are there, empty: a reader by column keeps its place.
    const QList<QStringList> written = rows("written.csv");
    ASSERT_EQ(written.size(), 3);
    EXPECT_EQ(written[1].size(), 7);
    EXPECT_EQ(written[1][5], "");
}

TEST_F(History, ARunWhoseFileCannotBeWrittenIsNotKept) {
    // The rows go into the store while the file is written: on a disk that fills up.
    for (int i = 0; i < 300; ++i)
        QDir().mkpath(volume + QString("/a/a folder with a name long enough to fill the disk %1").arg(i));
    QDir().mkpath(out("full"));
    ScopedTmpfs full(QFile::encodeName(out("full")), "16k");
    if (!full.mounted())
        GTEST_SKIP() << full.why().toStdString();
    const Outcome failed = directoryRun("full/written.csv");
    EXPECT_EQ(failed.status, 2) << failed.err.toStdString();
    HistoryStore history(store());
    QString error;
    const std::optional<QList<StoredRun>> runs = history.runs({}, error);
    ASSERT_TRUE(runs) << error.toStdString();
    EXPECT_EQ(runs->size(), 0);
    ASSERT_EQ(directoryRun("written.csv").status, 0);
    const std::optional<QList<StoredRun>> kept = history.runs({}, error);
    ASSERT_TRUE(kept) << error.toStdString();
    ASSERT_EQ(kept->size(), 1);
    EXPECT_EQ(kept->first().rows, 303);
}

// Killed while its file is written, with its rows already going in: the
// store keeps no part of it, and neither then nor meanwhile does it hold
// other runs up.
TEST_F(History, ARunKilledWhileWritingLeavesNoRun) {
    for (int i = 0; i < 1000; ++i)
        QDir().mkpath(volume + QString("/a/a folder with a name long enough to fill a pipe %1").arg(i));
    const QByteArray fifo = QFile::encodeName(out("results.csv"));
    ASSERT_EQ(::mkfifo(fifo.constData(), 0600), 0);
    const int readEnd = ::open(fifo.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    ASSERT_GE(readEnd, 0);
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(QUARVO_BINARY, {"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/ALLSUBS", "/OUTFILE=" + out("results.csv")});
    // Nobody reads: the run stops in its write once the pipe is full.
    int waiting = 0;
    for (int tries = 0; tries < 6000 && waiting < 60000; ++tries) {
        ::usleep(10000);
        ::ioctl(readEnd, FIONREAD, &waiting);
    }
    ASSERT_GE(waiting, 60000) << "the run never filled the pipe";
    ::usleep(300000);
    // Meanwhile another run records at once: the stuck one holds no lock on the store.
    const Outcome other = directoryRun("other.csv");
    EXPECT_EQ(other.status, 0) << other.err.toStdString();
    p.kill();
    ASSERT_TRUE(p.waitForFinished(60000));
    ::close(readEnd);
    EXPECT_EQ(p.exitStatus(), QProcess::CrashExit);
    HistoryStore history(store());
    QString error;
    const std::optional<QList<StoredRun>> runs = history.runs({}, error);
    ASSERT_TRUE(runs) << error.toStdString();
    EXPECT_EQ(runs->size(), 1);
    ASSERT_EQ(directoryRun("written.csv").status, 0);
    const std::optional<QList<StoredRun>> kept = history.runs({}, error);
    ASSERT_TRUE(kept) << error.toStdString();
    ASSERT_EQ(kept->size(), 2);
    EXPECT_EQ(kept->first().rows, 1003);
}

TEST_F(History, EightRunsRecordingAtOnceAllLand) {
    std::vector<std::unique_ptr<QProcess>> runs;
    for (int i = 0; i < 8; ++i) {
        runs.push_back(std::make_unique<QProcess>());
        runs.back()->setProcessEnvironment(env);
        runs.back()->start(QUARVO_BINARY, {"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/ALLSUBS",
                                           "/OUTFILE=" + out(QString("run%1.csv").arg(i))});
    }
    for (auto& p : runs) {
        ASSERT_TRUE(p->waitForFinished(60000));
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardError().toStdString();
    }
    HistoryStore history(store());
    QString error;
    const std::optional<QList<StoredRun>> stored = history.runs({}, error);
    ASSERT_TRUE(stored) << error.toStdString();
    EXPECT_EQ(stored->size(), 8);
    for (const StoredRun& run : *stored) {
        const std::optional<QList<StoredRow>> rows = history.rows(run.id, error);
        ASSERT_TRUE(rows);
        EXPECT_EQ(rows->size(), 3);
    }
}

TEST_F(History, ARunWhoseRowsCannotGoInLeavesNoHalfRun) {
    ASSERT_EQ(directoryRun("first.csv").status, 0);
    HistoryStore history(store());
    QString error;
    const std::optional<QList<StoredRun>> before = history.runs({}, error);
    ASSERT_TRUE(before && before->size() == 1);
    const std::optional<QList<StoredRow>> rows = history.rows(before->first().id, error);
    ASSERT_TRUE(rows);
    // A row that cannot be stored (no name) after 120 that can: the run and
    // those rows went in before it failed.
    QList<StoredRow> broken;
    for (int i = 0; i < 150; ++i)
        broken.append(rows->first());
    broken[120].name = QString();
    StoredRun run = before->first();
    const std::optional<qint64> id = history.record(run, broken, 400, error);
    EXPECT_FALSE(id);
    EXPECT_TRUE(error.contains("could not record the run's rows")) << error.toStdString();
    const std::optional<QList<StoredRun>> after = history.runs({}, error);
    ASSERT_TRUE(after);
    EXPECT_EQ(after->size(), 1);
    // Old runs go as new ones come in.
    run.started = run.started.addDays(500);
    ASSERT_TRUE(history.record(run, *rows, 400, error)) << error.toStdString();
    const std::optional<QList<StoredRun>> kept = history.runs({}, error);
    ASSERT_TRUE(kept);
    ASSERT_EQ(kept->size(), 1);
    EXPECT_NE(kept->first().id, before->first().id);
    expectRoundTrip(history, awkwardRows());
}

TEST_F(History, AStoreOfTheFirstVersionIsBroughtUpToDateWithItsRuns) {
    {
        // The tables as the first version made them, with a run of \\FS1\VOL1 in them.
        QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "first");
        db.setDatabaseName(store());
        ASSERT_TRUE(db.open());
        QSqlQuery q(db);
        for (const char* sql :
             {"CREATE TABLE quarvo_schema (id INTEGER PRIMARY KEY, version INTEGER NOT NULL)",
              "INSERT INTO quarvo_schema VALUES (1, 1)",
              "CREATE TABLE runs (id INTEGER PRIMARY KEY, started BIGINT NOT NULL, ended BIGINT NOT NULL, host TEXT, "
              "tree TEXT, server TEXT, volume TEXT, kind TEXT NOT NULL, place TEXT NOT NULL, options TEXT, outcome TEXT, "
              "total_bytes BIGINT, row_count BIGINT NOT NULL, directories BIGINT NOT NULL, files BIGINT NOT NULL, "
              "unreadable BIGINT NOT NULL, duration_ms BIGINT NOT NULL, program_version TEXT NOT NULL)",
              "CREATE INDEX runs_by_place ON runs (kind, place, started)",
              "CREATE INDEX runs_by_start ON runs (started)",
              "CREATE TABLE run_rows (run_id BIGINT NOT NULL REFERENCES runs (id) ON DELETE CASCADE, row_no INTEGER "
              "NOT NULL, parent_no INTEGER, name TEXT NOT NULL, owner TEXT, bytes BIGINT, allocated BIGINT, files "
              "BIGINT, modified BIGINT, total BIGINT, purgeable BIGINT, pending BIGINT, free BIGINT, PRIMARY KEY "
              "(run_id, row_no)) WITHOUT ROWID",
              "INSERT INTO runs VALUES (1, strftime('%s') * 1000 - 60000, strftime('%s') * 1000 - 50000, 'h', "
              "'ACME_TREE', 'FS1', 'VOL1', 'Directory', '\\\\FS1\\VOL1\\', '/ALLSUBS', '', 4194304, 3, 3, 2, 0, 1, '0.1.0')",
              "INSERT INTO run_rows (run_id, row_no, parent_no, name, bytes) VALUES (1, 0, NULL, '\\\\FS1\\VOL1\\', 0), "
              "(1, 1, 0, 'a', 1048576), (1, 2, 0, 'b', 1048576)"})
            ASSERT_TRUE(q.exec(sql)) << sql << q.lastError().text().toStdString();
        db.close();
    }
    QSqlDatabase::removeDatabase("first");
    const Outcome second = directoryRun("second.csv", {"/COMPARE=1"});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const QStringList a = rowOf(rows("second.csv"), "\\a");
    ASSERT_EQ(a.size(), 7);
    EXPECT_EQ(a[5].toDouble(), 2.0);
    HistoryStore history(store());
    QString error;
    const std::optional<QList<StoredRun>> runs = history.runs({}, error);
    ASSERT_TRUE(runs) << error.toStdString();
    ASSERT_EQ(runs->size(), 2);
    EXPECT_EQ(runs->last().id, 1);
    QSqlQuery q(history.connection());
    ASSERT_TRUE(q.exec("SELECT version FROM quarvo_schema") && q.next());
    EXPECT_EQ(q.value(0).toInt(), 2);
    // A folder found by its name below its parent, as a window following it does.
    ASSERT_TRUE(q.exec("EXPLAIN QUERY PLAN SELECT bytes FROM run_rows WHERE run_id = 1 AND parent_no = 0 AND name = 'a'") &&
                q.next());
    EXPECT_TRUE(q.value(3).toString().contains("run_rows_by_name")) << q.value(3).toString().toStdString();
}

TEST_F(History, APostgresStoreKeepsAndComparesRunsAndItsAbsenceIsSaid) {
    PostgresServer server;
    const QString started = server.start();
    ASSERT_TRUE(started.isEmpty()) << started.toStdString();
    env.insert("QUARVO_HISTORY", server.address());
    ASSERT_EQ(directoryRun("first.csv").status, 0);
    sized("a/three", 1 << 20);
    const Outcome second = directoryRun("second.csv", {"/COMPARE=LAST"});
    ASSERT_EQ(second.status, 0) << second.err.toStdString();
    const QStringList a = rowOf(rows("second.csv"), "\\a");
    ASSERT_EQ(a.size(), 7);
    EXPECT_EQ(a[5].toDouble(), 1.0);
    EXPECT_EQ(a[6].trimmed(), "33.33");
    HistoryStore history(server.address());
    QString error;
    const auto followed = history.figuresOf({1, 2}, "\\\\FS1\\VOL1\\a", error);
    ASSERT_TRUE(followed && followed->size() == 2 && (*followed)[1]) << error.toStdString();
    EXPECT_EQ((*followed)[1]->bytes, 4 << 20);
    // The rows carry no primary key beside their name index: 32 bytes a row saved.
    QSqlQuery keys(history.connection());
    ASSERT_TRUE(keys.exec("SELECT COUNT(*) FROM pg_constraint WHERE conname = 'run_rows_pkey'") && keys.next());
    EXPECT_EQ(keys.value(0).toInt(), 0);
    expectRoundTrip(history, awkwardRows());
    server.stop();
    QFile::remove(out("second.csv"));
    const Outcome down = directoryRun("second.csv");
    EXPECT_EQ(down.status, 4);
    EXPECT_TRUE(down.err.contains("Written, not recorded: the history postgresql://quarvo@/postgres?host=")) << down.err.toStdString();
    EXPECT_EQ(rows("second.csv").size(), 3);
}
