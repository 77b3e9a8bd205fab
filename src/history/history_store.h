#pragma once

#include "history/stored_run.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>
#include <optional>

// Which stored runs a listing wants; an empty field matches every run.
struct RunFilter {
    QString tree;
    QString server;
    QString volume;
    QString kind;
    QString place;   // the run's place begins with it (case-insensitive)
    QString options; // exactly, when sameOptions is set
    bool sameOptions = false;
    QDateTime startedBefore; // only runs started before it, when valid
    int limit = 0;           // the newest so many; 0: all
};

// The history of runs: an SQLite file or a PostgreSQL database reached
// through Qt SQL, with the same tables in both. Each run goes in with its
// rows in one transaction, so a run stopped or killed leaves nothing half
// written, and several processes may record at once. Every failure names
// the store and the reason.
class HistoryStore {
public:
    // location: a file name (SQLite) or postgresql://[user[:password]@][host][:port]/database[?host=/socket/folder]
    explicit HistoryStore(QString location);
    ~HistoryStore();
    HistoryStore(const HistoryStore&) = delete;
    HistoryStore& operator=(const HistoryStore&) = delete;

    // Opens the store and creates or brings up to date its tables; empty
    // when it can be used, else why not.
    QString open();
    // The store as messages name it: the file, or the address without its password.
    QString name() const;
    static bool isPostgres(const QString& location);

    // Adds the run and its rows; drops runs begun more than keepDays ago.
    // The run's id on success; the reason as error otherwise. With confirm,
    // the transaction is committed only if it answers true once all is in.
    std::optional<qint64> record(const StoredRun& run, const QList<StoredRow>& rows, int keepDays, QString& error,
                                 const std::function<bool()>& confirm = {});
    // The runs the filter matches, newest first.
    std::optional<QList<StoredRun>> runs(const RunFilter& filter, QString& error);
    // The run of that id; one with id 0 when the store holds none.
    std::optional<StoredRun> run(qint64 id, QString& error);
    std::optional<QList<StoredRow>> rows(qint64 runId, QString& error);
    // The figures of the row named key (an owner, a volume, a folder's or a
    // file's path, as storedRowKeys names it) in each of the runs, in their
    // order; none for a run without such a row.
    std::optional<QList<std::optional<RowFigures>>> figuresOf(const QList<qint64>& runIds, const QString& key,
                                                              QString& error);
    // The connection open() opened, for reads the store has no function for.
    QSqlDatabase connection() const;

    static constexpr int kSchemaVersion = 2;

private:
    bool postgres() const { return isPostgres(m_location); }
    QString configure();
    QString createOrMigrate();
    QString failure(const QString& what, const QString& reason) const;
    // Whether confirm (when given) keeps the run; else error says it was not kept.
    bool confirmed(const std::function<bool()>& confirm, QString& error) const;

    QString m_location;
    QString m_connection; // the Qt SQL connection's name, private to this store
};
