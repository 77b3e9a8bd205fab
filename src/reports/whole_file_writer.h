#pragma once

#include <QByteArray>
#include <QString>

#include <sys/types.h>

// A file that is left either untouched or whole. Replace writes an unnamed
// file in the target's folder (so a killed run leaves nothing behind; a
// named temporary file where the file system has no unnamed ones), flushes
// it to the disk and renames it over the target only when all is written; a replaced file's mode is kept, and when
// run as root its owner and group too. Append adds at the end and, on any
// failure or when abandoned, cuts the file back to its length before, so a
// monthly file never ends in half a row. Direct (devices, FIFOs) writes as
// it comes. Every failure names the system's reason (strerror of errno).
class WholeFileWriter {
public:
    enum class Mode { Replace, Append, Direct };

    WholeFileWriter() = default;
    ~WholeFileWriter();
    WholeFileWriter(const WholeFileWriter&) = delete;
    WholeFileWriter& operator=(const WholeFileWriter&) = delete;

    // Empty when open, else "Cannot open PATH: reason".
    QString open(const QString& path, Mode mode);
    // Writes straight to a descriptor someone else opened (standard output),
    // named so in messages; commit() leaves it open.
    void adopt(int fd, const QString& name);
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

private:
    QString flushBuffer();
    QString failed(const QString& what, int error);
    QString finishReplace();
    bool openUnnamed(const QByteArray& target);
    bool nameUnnamed();
    QString finishAppend();
    void closeDescriptor();

    int m_fd = -1;
    Mode m_mode = Mode::Replace;
    QString m_path;
    QByteArray m_temporary; // Replace: the file being written, once it has a name
    bool m_unnamed = false; // Replace: written as an O_TMPFILE file
    off_t m_appendStart = 0;
    bool m_created = false; // Append: open() made the file
    bool m_owned = true;    // false for an adopted descriptor
    QByteArray m_buffer;
    QString m_reason;
};
