#pragma once

#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

// The history's tables, the same in SQLite and PostgreSQL but for the
// type of the run's id, and how a store is brought to this program's
// version of them (the table quarvo_schema holds it).
namespace HistorySchema {

// The version the store's tables are at once brought up to date (this
// program's, or a newer one that it must not touch); -1 with the reason
// when they could not be read or made.
int bringUpToDate(QSqlDatabase& db, bool postgres, QString& reason);

// Before SQLite opens the file: its folder is made (0700) when missing; a
// file that is a symbolic link, or one in a folder others may change
// (unless the folder is sticky and the file one's own), is refused, so a
// run as root never writes where another user pointed it. Empty when fine.
QString prepareFile(const QString& path);

// Removes the runs begun before the time (milliseconds since the epoch) and
// their rows; empty, or the reason.
QString dropRunsBefore(QSqlDatabase& db, qint64 before);

// One transaction: rolled back unless committed. SQLite's takes the write
// lock at once, so concurrent recorders wait their turn instead of failing.
class Transaction {
public:
    Transaction(QSqlDatabase& db, bool postgres);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool begun() const { return m_begun; }
    QSqlError error() const { return m_error; }
    // Empty when committed, else the reason.
    QString commit();

private:
    QSqlDatabase& m_db;
    bool m_begun = false;
    bool m_done = false;
    QSqlError m_error;
};

} // namespace HistorySchema
