#pragma once

#include "fsview/unique_fd.h"

#include <QString>

// Quarvo.log: one line per file deleted or moved, or not, each after the
// local date and time. It lives in the program's folder when that folder
// may be written, else in $XDG_STATE_HOME/Quarvo (~/.local/state/Quarvo).
// Open only while one operation runs; what it cannot write is lost, but
// never silently: failed() says so and why (the system's reason, such as
// "No space left on device"). Each line is one write at the end of the file,
// taken back when only part of it could be written, so the log never ends
// in half a line.
class OperationsLog {
public:
    // The log's path for a program in programFolder.
    static QString pathFor(const QString& programFolder);

    explicit OperationsLog(QString path);
    ~OperationsLog();

    // Opens for appending (created when missing).
    void open();
    // Appends the time stamp and text, and the line end. Control characters
    // in the text go as \n, \r or \xhh (TAB as it is), so a line is one outcome.
    void write(const QString& text);
    void close();

    const QString& path() const { return m_path; }
    bool failed() const { return !m_error.isEmpty(); }
    QString error() const { return m_error; }

private:
    void fail(int error);

    QString m_path;
    UniqueFd m_file;
    QString m_error;
    qint64 m_stampSecond = -1; // the time stamp, formed once a second
    QString m_stamp;
};
