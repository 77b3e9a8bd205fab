#include "reports/whole_file_writer.h"

#include "fsview/name_bytes.h"
#include "reports/file_attributes.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <ctime>

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// Rows are gathered into writes this large: few system calls for a whole run.
constexpr qsizetype kBufferBytes = 1024 * 1024;
constexpr qsizetype kCopyBytes = 1024 * 1024;
constexpr int kWaitSliceMs = 100;
constexpr time_t kLeftoverAgeSeconds = 24 * 60 * 60;
constexpr char kTemporaryTag[] = ".quarvo-tmp-";

QString systemReason(int error) {
    if (error == EPIPE)
        return QStringLiteral("its reader went away");
    return QString::fromLocal8Bit(std::strerror(error));
}

QByteArray baseOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

// ".NAME.quarvo-tmp-": the start of the names only this program gives its
// temporary files beside NAME.
QByteArray temporaryPrefix(const QByteArray& target) {
    return '.' + baseOf(target) + kTemporaryTag;
}

// "FOLDER/.NAME.quarvo-tmp-PID-": this process's temporary names beside NAME start so.
QByteArray temporaryStem(const QByteArray& target) {
    return OutputPath::folderOf(target) + '/' + temporaryPrefix(target) + QByteArray::number(::getpid()) + '-';
}

// A killed run can leave a named temporary file where the file system has no
// unnamed ones: those of this user older than a day go.
QStringList removeOldLeftovers(const QByteArray& target) {
    QStringList removed;
    const QByteArray folder = OutputPath::folderOf(target);
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return removed;
    const QByteArray prefix = temporaryPrefix(target);
    const time_t now = ::time(nullptr);
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        struct stat st {};
        if (!name.startsWith(prefix) || ::fstatat(::dirfd(dir), entry->d_name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue;
        if (S_ISREG(st.st_mode) && st.st_uid == ::geteuid() && now - st.st_mtime > kLeftoverAgeSeconds &&
            ::unlinkat(::dirfd(dir), entry->d_name, 0) == 0)
            removed.append(NameBytes::decode(folder + '/' + name));
    }
    ::closedir(dir);
    return removed;
}

bool isPipe(int fd) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && S_ISFIFO(st.st_mode);
}

} // namespace

WholeFileWriter::~WholeFileWriter() {
    abandon();
}

QString WholeFileWriter::open(const QString& path, Mode mode) {
    abandon();
    m_path = path;
    m_mode = mode;
    m_stopped = false;
    m_removed.clear();
    m_target = OutputPath::check(path);
    QString error;
    if (m_target.refused())
        error = m_target.why();
    else if (m_target.kind() == OutputPath::Kind::Fifo || mode == Mode::Direct)
        error = openFifo();
    else if (mode == Mode::Append)
        error = openAppend();
    else
        error = openReplace();
    if (!error.isEmpty()) {
        abandon();
        m_reason = error;
        return QStringLiteral("Cannot open %1: %2").arg(path, error);
    }
    return {};
}

QString WholeFileWriter::openReplace() {
    const QByteArray& target = m_target.real();
    const QByteArray folder = OutputPath::folderOf(target);
    m_removed = removeOldLeftovers(target);
    if (!openUnnamed(folder, O_WRONLY) && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        m_temporary = temporaryStem(target) + "XXXXXX";
        m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
        if (m_fd < 0)
            m_temporary.clear();
    }
    if (m_fd < 0)
        return systemReason(errno);
    if (const QString kept = FileAttributes::takeOver(m_fd, target); !kept.isEmpty())
        return kept;
    makeExecutable(m_fd);
    return {};
}

void WholeFileWriter::makeExecutable(int fd) const {
    struct stat st {};
    if (!m_executable || ::fstat(fd, &st) != 0)
        return;
    const mode_t readers = st.st_mode & (S_IRUSR | S_IRGRP | S_IROTH);
    ::fchmod(fd, ((st.st_mode & 07777) | (readers >> 2) | S_IXUSR) & 0755);
}

// The rows wait in a spool that no one else sees and that vanishes with the
// process; the file itself is only touched by the final pass.
QString WholeFileWriter::openAppend() {
    const QByteArray& target = m_target.real();
    const QByteArray folder = OutputPath::folderOf(target);
    if (m_target.kind() == OutputPath::Kind::Regular) {
        const int probe = ::open(target.constData(), O_WRONLY | O_APPEND | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
        if (probe < 0)
            return systemReason(errno);
        ::close(probe);
    } else if (::access(folder.constData(), W_OK) != 0) {
        return systemReason(errno);
    }
    if (!openUnnamed(folder, O_RDWR) && !openUnnamed(QFile::encodeName(QDir::tempPath()), O_RDWR))
        return systemReason(errno);
    return {};
}

// Opened without waiting: a FIFO no one reads is refused at once.
QString WholeFileWriter::openFifo() {
    m_fd = ::open(m_target.real().constData(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (m_fd < 0)
        return errno == ENXIO ? QStringLiteral("no one is reading it") : systemReason(errno);
    m_mode = Mode::Direct;
    m_pipe = isPipe(m_fd);
    if (!m_pipe)
        return QStringLiteral("it is no longer a FIFO");
    return {};
}

void WholeFileWriter::adopt(int fd, const QString& name) {
    abandon();
    m_fd = fd;
    m_path = name;
    m_mode = Mode::Direct;
    m_owned = false;
    m_pipe = isPipe(fd);
    m_stopped = false;
}

QString WholeFileWriter::write(const QByteArray& bytes) {
    if (m_fd < 0)
        return QStringLiteral("Cannot write %1: it is not open").arg(m_path);
    // Its room taken once: growing it step by step would copy it as often.
    if (m_buffer.capacity() < kBufferBytes && m_buffer.size() + bytes.size() > kBufferBytes / 16)
        m_buffer.reserve(kBufferBytes + bytes.size());
    m_buffer += bytes;
    return m_buffer.size() >= kBufferBytes ? flushBuffer() : QString();
}

QString WholeFileWriter::flushBuffer() {
    const QString error = writeOut(m_fd, m_buffer.constData(), m_buffer.size());
    m_buffer.resize(0); // its room stays for the next rows
    return error;
}

// A pipe is written no faster than its reader takes it, in pieces it takes
// at once, so a stop is seen while the reader stalls.
QString WholeFileWriter::writeOut(int fd, const char* data, qsizetype size) {
    while (size > 0) {
        if (m_pipe && !waitUntilWritable(fd))
            return failed(QStringLiteral("write"), EINTR);
        const qsizetype piece = m_pipe ? std::min<qsizetype>(size, PIPE_BUF) : size;
        const ssize_t written = ::write(fd, data, std::size_t(piece));
        if (written < 0 && (errno == EINTR || errno == EAGAIN))
            continue;
        if (written <= 0)
            return failed(QStringLiteral("write"), written < 0 ? errno : ENOSPC);
        data += written;
        size -= written;
    }
    return {};
}

bool WholeFileWriter::waitUntilWritable(int fd) {
    for (;;) {
        pollfd ready{fd, POLLOUT, 0};
        const int result = ::poll(&ready, 1, kWaitSliceMs);
        if (result > 0)
            return true; // writable, or an error the write will name
        if (result < 0 && errno != EINTR)
            return true;
        if (m_stopCheck && m_stopCheck()) {
            m_stopped = true;
            return false;
        }
    }
}

QString WholeFileWriter::failed(const QString& what, int error, bool fileAsItWas) {
    const bool stopped = m_stopped;
    abandon();
    m_stopped = stopped;
    m_reason = stopped ? QStringLiteral("stopped while waiting for its reader") : systemReason(error);
    QString text = QStringLiteral("Cannot %1 %2: %3").arg(what, m_path, m_reason);
    if (m_mode == Mode::Append)
        text += fileAsItWas ? QStringLiteral("; the file is as it was before this run")
                            : QStringLiteral("; the file changed meanwhile, so the rows this run added were left "
                                             "at its end");
    return text;
}

QString WholeFileWriter::commit() {
    if (m_fd < 0)
        return QStringLiteral("Cannot write %1: it is not open").arg(m_path);
    if (const QString error = flushBuffer(); !error.isEmpty())
        return error;
    // A full disk or a lost server may only show when the data reaches it.
    if (m_mode == Mode::Replace && ::fsync(m_fd) != 0 && errno != EINVAL)
        return failed(QStringLiteral("write"), errno);
    switch (m_mode) {
    case Mode::Replace: return finishReplace();
    case Mode::Append: return finishAppend();
    case Mode::Direct: break;
    }
    const int result = m_owned ? ::close(m_fd) : 0;
    const int error = errno;
    m_fd = -1;
    m_owned = true;
    m_pipe = false;
    return result == 0 ? QString() : QStringLiteral("Cannot write %1: %2").arg(m_path, systemReason(error));
}

bool WholeFileWriter::openUnnamed(const QByteArray& folder, int flags) {
    m_fd = ::open(folder.constData(), O_TMPFILE | flags | O_CLOEXEC, 0600);
    if (m_fd < 0 && flags == O_RDWR && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
        // No unnamed files here: a named one, gone from the folder at once.
        QByteArray name = folder + "/.quarvo-spool-XXXXXX";
        m_fd = ::mkostemp(name.data(), O_CLOEXEC);
        if (m_fd >= 0)
            ::unlink(name.constData());
        return m_fd >= 0;
    }
    m_unnamed = m_fd >= 0 && flags == O_WRONLY;
    return m_fd >= 0;
}

// A link cannot replace a file: the unnamed file first gets a name of its
// own beside the target, which rename then puts in the target's place.
bool WholeFileWriter::nameUnnamed() {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
    const QByteArray& target = m_target.real();
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name =
            temporaryStem(target) + QByteArray::number(quint64(attempt) * 7919u + quint64(::time(nullptr)), 36);
        if (::linkat(AT_FDCWD, self.constData(), AT_FDCWD, name.constData(), AT_SYMLINK_FOLLOW) == 0) {
            m_temporary = name;
            return true;
        }
        if (errno != EEXIST)
            return false;
    }
    errno = EEXIST;
    return false;
}

QString WholeFileWriter::finishReplace() {
    if (m_unnamed && !nameUnnamed())
        return failed(QStringLiteral("write"), errno);
    if (::close(m_fd) != 0) {
        const int error = errno;
        m_fd = -1;
        return failed(QStringLiteral("write"), error);
    }
    m_fd = -1;
    if (::rename(m_temporary.constData(), m_target.real().constData()) != 0) {
        const int error = errno;
        return failed(QStringLiteral("replace"), error);
    }
    m_temporary.clear();
    return {};
}

// The file is opened again by name: a file rotated since the run began gets
// the rows, not the one moved away.
QString WholeFileWriter::finishAppend() {
    const QByteArray& target = m_target.real();
    constexpr int flags = O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC;
    int file = ::open(target.constData(), O_RDWR | flags, 0666);
    m_tailReadable = file >= 0;
    if (file < 0 && errno == EACCES) // may be written, not read: its last line cannot be looked at
        file = ::open(target.constData(), O_WRONLY | flags, 0666);
    if (file < 0)
        return failed(QStringLiteral("write"), errno);
    struct stat st {};
    QString error;
    if (::fstat(file, &st) != 0 || !S_ISREG(st.st_mode))
        error = failed(QStringLiteral("write"), errno ? errno : EINVAL);
    else
        error = appendLocked(file);
    ::close(file); // lets go of the lock
    if (error.isEmpty())
        closeDescriptor();
    return error;
}

// One run at a time adds its rows, in one piece.
QString WholeFileWriter::appendLocked(int target) {
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    while (::fcntl(target, F_OFD_SETLKW, &lock) != 0) {
        if (errno != EINTR)
            return failed(QStringLiteral("lock"), errno);
    }
    const off_t start = ::lseek(target, 0, SEEK_END);
    char last = '\n';
    if (m_tailReadable && start > 0 && ::pread(target, &last, 1, start - 1) != 1)
        return failed(QStringLiteral("read"), errno);
    if (start == 0)
        makeExecutable(target);
    if (last != '\n' && m_unfinishedEnd == UnfinishedEnd::Refuse) {
        abandon();
        m_reason = QStringLiteral("its last line is unfinished");
        return QStringLiteral("Cannot append to %1: its last line has no line break (a run stopped while "
                              "appending, or an edit); nothing was added. End or remove that line first.")
            .arg(m_path);
    }
    const bool endLine = last != '\n';
    if (endLine && ::write(target, "\n", 1) != 1)
        return failed(QStringLiteral("write"), errno);
    return copySpool(target, start, endLine ? 1 : 0);
}

// On a failure only this run's rows are taken back, and only while the file
// still ends with them.
QString WholeFileWriter::copySpool(int target, off_t start, off_t added) {
    QByteArray chunk(kCopyBytes, Qt::Uninitialized);
    off_t copied = 0; // of the spool
    int error = 0;
    for (;;) {
        const ssize_t got = ::pread(m_fd, chunk.data(), std::size_t(chunk.size()), copied);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0) {
            error = got < 0 ? errno : 0;
            break;
        }
        const ssize_t put = ::write(target, chunk.constData(), std::size_t(got));
        if (put != got) {
            error = put < 0 ? errno : ENOSPC;
            if (put > 0)
                copied += put;
            break;
        }
        copied += put;
    }
    if (error == 0 && ::fsync(target) != 0 && errno != EINVAL)
        error = errno;
    if (error == 0)
        return {};
    struct stat now {};
    const bool stillOurs = ::fstat(target, &now) == 0 && now.st_size == start + added + copied;
    if (stillOurs)
        (void)::ftruncate(target, start);
    return failed(QStringLiteral("write"), error, stillOurs);
}

void WholeFileWriter::abandon() {
    m_buffer.clear();
    closeDescriptor();
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
    m_unnamed = false;
}

void WholeFileWriter::closeDescriptor() {
    if (m_fd >= 0 && m_owned)
        ::close(m_fd);
    m_fd = -1;
    m_owned = true;
    m_pipe = false;
}

QString WholeFileWriter::writeAll(const QString& path, const QByteArray& bytes) {
    WholeFileWriter writer;
    QString error = writer.open(path, Mode::Replace);
    if (error.isEmpty())
        error = writer.write(bytes);
    if (error.isEmpty())
        error = writer.commit();
    return error;
}
