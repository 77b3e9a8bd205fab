#include "reports/whole_file_writer.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <ctime>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr qsizetype kBufferBytes = 64 * 1024;

QString systemReason(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

// A new file gets what the user's umask allows, as any other program's would.
mode_t newFileMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

// The replacement takes the replaced file's mode and, as root, its owner
// and group: an administrator's run must not take over a user's file.
void takeOverAttributes(int fd, const QByteArray& path) {
    struct stat old {};
    if (::stat(path.constData(), &old) != 0 || !S_ISREG(old.st_mode)) {
        ::fchmod(fd, newFileMode());
        return;
    }
    // The owner first: changing it clears the set-ID bits the mode then puts back.
    if (::geteuid() == 0)
        (void)::fchown(fd, old.st_uid, old.st_gid);
    ::fchmod(fd, old.st_mode & 07777);
}

} // namespace

WholeFileWriter::~WholeFileWriter() {
    abandon();
}

QString WholeFileWriter::open(const QString& path, Mode mode) {
    abandon();
    m_path = path;
    m_mode = mode;
    const QByteArray target = QFile::encodeName(path);
    if (mode == Mode::Replace) {
        if (!openUnnamed(target) && m_fd < 0 && (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL)) {
            m_temporary = target + ".XXXXXX";
            m_fd = ::mkostemp(m_temporary.data(), O_CLOEXEC);
        }
        if (m_fd >= 0)
            takeOverAttributes(m_fd, target);
    } else if (mode == Mode::Append) {
        m_fd = ::open(target.constData(), O_WRONLY | O_APPEND | O_CLOEXEC);
        if (m_fd < 0 && errno == ENOENT) {
            m_fd = ::open(target.constData(), O_WRONLY | O_APPEND | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            m_created = m_fd >= 0;
        }
        if (m_fd >= 0)
            m_appendStart = ::lseek(m_fd, 0, SEEK_END);
    } else {
        m_fd = ::open(target.constData(), O_WRONLY | O_CLOEXEC);
    }
    if (m_fd < 0) {
        const int error = errno;
        m_temporary.clear();
        m_reason = systemReason(error);
        return QStringLiteral("Cannot open %1: %2").arg(path, m_reason);
    }
    return {};
}

void WholeFileWriter::adopt(int fd, const QString& name) {
    abandon();
    m_fd = fd;
    m_path = name;
    m_mode = Mode::Direct;
    m_owned = false;
}

QString WholeFileWriter::write(const QByteArray& bytes) {
    if (m_fd < 0)
        return QStringLiteral("Cannot write %1: it is not open").arg(m_path);
    m_buffer += bytes;
    return m_buffer.size() >= kBufferBytes ? flushBuffer() : QString();
}

QString WholeFileWriter::flushBuffer() {
    const char* next = m_buffer.constData();
    qsizetype left = m_buffer.size();
    while (left > 0) {
        const ssize_t written = ::write(m_fd, next, std::size_t(left));
        if (written < 0 && errno == EINTR)
            continue;
        if (written <= 0)
            return failed(QStringLiteral("write"), written < 0 ? errno : ENOSPC);
        next += written;
        left -= written;
    }
    m_buffer.clear();
    return {};
}

QString WholeFileWriter::failed(const QString& what, int error) {
    abandon();
    m_reason = systemReason(error);
    QString text = QStringLiteral("Cannot %1 %2: %3").arg(what, m_path, m_reason);
    if (m_mode == Mode::Append)
        text += QStringLiteral("; the file is as it was before this run");
    return text;
}

QString WholeFileWriter::commit() {
    if (m_fd < 0)
        return QStringLiteral("Cannot write %1: it is not open").arg(m_path);
    if (const QString error = flushBuffer(); !error.isEmpty())
        return error;
    // A full disk or a lost server may only show when the data reaches it.
    if (m_mode != Mode::Direct && ::fsync(m_fd) != 0 && errno != EINVAL)
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
    return result == 0 ? QString() : QStringLiteral("Cannot write %1: %2").arg(m_path, systemReason(error));
}

bool WholeFileWriter::openUnnamed(const QByteArray& target) {
    const qsizetype slash = target.lastIndexOf('/');
    const QByteArray folder = slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : target.left(slash);
    m_fd = ::open(folder.constData(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    m_unnamed = m_fd >= 0;
    return m_unnamed;
}

// A link cannot replace a file: the unnamed file first gets a name of its
// own beside the target, which rename then puts in the target's place.
bool WholeFileWriter::nameUnnamed() {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(m_fd);
    for (int attempt = 0; attempt < 100; ++attempt) {
        const QByteArray name = QFile::encodeName(m_path) + '.' +
                                QByteArray::number(quint64(::getpid()) * 1000003u + quint64(attempt) * 7919u +
                                                       quint64(::time(nullptr)), 36);
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
    if (::rename(m_temporary.constData(), QFile::encodeName(m_path).constData()) != 0) {
        const int error = errno;
        return failed(QStringLiteral("replace"), error);
    }
    m_temporary.clear();
    return {};
}

QString WholeFileWriter::finishAppend() {
    // Checked before closing, so a failure can still cut back what was added.
    const int result = ::close(m_fd);
    if (result != 0 && errno != EINTR) {
        const int error = errno;
        m_fd = -1;
        // The descriptor is gone: cut back by name, as the file is still ours to mend.
        if (::truncate(QFile::encodeName(m_path).constData(), m_appendStart) != 0 && m_created)
            ::unlink(QFile::encodeName(m_path).constData());
        return QStringLiteral("Cannot write %1: %2").arg(m_path, systemReason(error));
    }
    m_fd = -1;
    m_created = false;
    return {};
}

void WholeFileWriter::abandon() {
    m_buffer.clear();
    if (m_mode == Mode::Append && m_fd >= 0) {
        (void)::ftruncate(m_fd, m_appendStart);
        if (m_created && m_appendStart == 0)
            ::unlink(QFile::encodeName(m_path).constData());
    }
    closeDescriptor();
    if (!m_temporary.isEmpty()) {
        ::unlink(m_temporary.constData());
        m_temporary.clear();
    }
    m_created = false;
    m_unnamed = false;
}

void WholeFileWriter::closeDescriptor() {
    if (m_fd >= 0 && m_owned)
        ::close(m_fd);
    m_fd = -1;
    m_owned = true;
}
