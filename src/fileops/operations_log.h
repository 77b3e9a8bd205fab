#pragma once

#include "fsview/unique_fd.h"

#include <QString>

#include <sys/types.h>

// Quarvo.log: one line per file deleted or moved, or not, each after the
// local date and time and ending in who acted. A program run from its build
// folder keeps it there; an installed one in the state folder (see pathFor).
// Open only while one operation runs; what it cannot write is lost, but
// never silently: failed() says so and why (the system's reason, such as
// "No space left on device"). Each line is one write at the end of the file,
// taken back when only part of it could be written, so the log never ends
// in half a line.
class OperationsLog {
public:
    // The log's path for a program in programFolder: that folder when it may
    // be written and is no installed program's (below /usr/, /opt/, /bin or
    // /sbin, or a "bin" beside lib/quarvo or share/man); else, for root when
    // /var/log/quarvo is there, that folder; else $XDG_STATE_HOME/Quarvo
    // (~/.local/state/Quarvo).
    static QString pathFor(const QString& programFolder);
    // The same for a program run as effectiveUid, with systemFolder in place
    // of /var/log/quarvo.
    static QString pathFor(const QString& programFolder, uid_t effectiveUid, const QString& systemFolder);
    // Who acts, as a line names them: the login of effectiveUid (its number
    // when it has none); for root, the user sudo was run by, when it was.
    static QString actor(uid_t effectiveUid);

    explicit OperationsLog(QString path);
    ~OperationsLog();

    // Opens for appending (created when missing); a symbolic link or anything
    // but a plain file at its place is refused.
    void open();
    // Appends the time stamp, text, "; by " and the actor, and the line end.
    // Control characters in the text go as \n, \r or \xhh (TAB as it is),
    // those that reorder or break a line as \uhhhh, so a line is one outcome.
    void write(const QString& text);
    // The same for text in UTF-8; printable ASCII, the common case, goes
    // as it is without a round trip through UTF-16.
    void write(const QByteArray& text);
    void close();

    const QString& path() const { return m_path; }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    void fail(int error);
    // The time stamp, the outcome (escaped, UTF-8), who acted: one write.
    void writeLine(const QByteArray& outcome);
    void fail(const QString& why);

    QString m_path;
    QByteArray m_by; // "; by " and who acts, ending each line, escaped
    UniqueFd m_file;
    QString m_error;
    qint64 m_stampSecond = -1; // the time stamp, formed once a second
    QByteArray m_stamp;
};
