#pragma once

#include "reports/output_path.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>

#include <sys/types.h>

// A file that is left either untouched or whole. Replace writes an unnamed
// file in the target's folder (a named one, ".NAME.quarvo-tmp-PID-XXXXXX",
// where the file system has no unnamed ones; such names of one's own older
// than a day are removed by later runs), flushes it to the disk and renames
// it over the target only when all is written; a replaced file's mode, ACL
// and extended attributes are kept, and when run as root its owner and group
// too. Append gathers the rows in an unnamed spool file and adds them in one
// pass at the end under an exclusive lock, so a stop or a failure before
// that pass leaves the file untouched and two runs never interleave; a
// failure during the pass cuts back only what this run added, and only if
// the file still ends with it. A FIFO is written straight to. The target is
// checked first (OutputPath): no folder, device or planted link. Every
// failure names the system's reason (strerror of errno).
class WholeFileWriter {
public:
    enum class Mode { Replace, Append, Direct };
    // What Append does with a file whose last line has no line break (a run
    // killed while appending, a hand edit).
    enum class UnfinishedEnd { Refuse, EndLine };

    // Writes bytes to path in one go, replacing it whole or leaving it as
    // it was; empty, or why not.
    static QString writeAll(const QString& path, const QByteArray& bytes);

    WholeFileWriter() = default;
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    // Empty when open, else "Cannot open PATH: reason". A FIFO is written
    // straight to whatever the mode; one with no reader is refused at once.
    QString open(const QString& path, Mode mode);
    // Writes straight to a descriptor someone else opened (standard output),
    // named so in messages; commit() leaves it open.
    void adopt(int fd, const QString& name);
    // Asked while a write waits for a slow reader (a pipe, a FIFO): true
    // ends the wait, and the write fails as stopped.
    void setStopCheck(std::function<bool()> check) { m_stopCheck = std::move(check); }
    void setUnfinishedEnd(UnfinishedEnd policy) { m_unfinishedEnd = policy; }
    // A script: the file gets the run bit for whoever may read it, and never
    // group or others' write (0755 at most), set on it before it is in place.
    // Append sets it only on a file that was empty.
    void setExecutable(bool executable) { m_executable = executable; }
    bool isOpen() const { return m_fd >= 0; }
    // Empty, else "Cannot write PATH: reason"; the file is then as it was.
    QString write(const QByteArray& bytes);
    // Puts everything in place; empty when done, else why not, with the
    // file as it was.
    QString commit();
    // Leaves the file as it was before open().
    void abandon();
    // The system's reason for the last failure ("No space left on device").
    const QString& reason() const { return m_reason; }
    // Whether the last failure was a stop while waiting for a reader.
    bool stopped() const { return m_stopped; }
    // Temporary files of earlier runs that open() removed.
    const QStringList& removedLeftovers() const { return m_removed; }

private:
    QString openReplace();
    QString openAppend();
    QString openFifo();
    QString flushBuffer();
    QString writeOut(int fd, const char* data, qsizetype size);
    bool waitUntilWritable(int fd);
    QString failed(const QString& what, int error, bool fileAsItWas = true);
    QString finishReplace();
    bool openUnnamed(const QByteArray& folder, int flags);
    bool nameUnnamed();
    QString finishAppend();
    QString appendLocked(int target);
    // The spool after start (and the added line break ending an unfinished last line).
    QString copySpool(int target, off_t start, off_t added);
    void closeDescriptor();
    void makeExecutable(int fd) const;

    int m_fd = -1; // the file written: the replacement, the spool, the FIFO, or an adopted one
    Mode m_mode = Mode::Replace;
    QString m_path;
    OutputPath m_target;
    QByteArray m_temporary; // Replace: the file being written, once it has a name
    bool m_unnamed = false; // Replace: written as an O_TMPFILE file
    bool m_owned = true;    // false for an adopted descriptor
    bool m_pipe = false;    // m_fd is a pipe or a FIFO: written as its reader takes it
    bool m_tailReadable = true; // Append: the file's last line can be looked at
    bool m_executable = false;
    UnfinishedEnd m_unfinishedEnd = UnfinishedEnd::Refuse;
    std::function<bool()> m_stopCheck;
    bool m_stopped = false;
    QByteArray m_buffer;
    QString m_reason;
    QStringList m_removed;
};
