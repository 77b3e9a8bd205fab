#include "netware/client/password_file.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr qsizetype kMaxSize = 4096;

QString systemError(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

// Run as root, a service password is read only from a file of root's that
// no one else may read or change, as sshd takes its keys.
QString refusal(int fd, const QString& path) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return QStringLiteral("cannot read the password file %1: %2").arg(path, systemError(errno));
    if (!S_ISREG(st.st_mode))
        return QStringLiteral("the password file %1 is not a plain file").arg(path);
    if (::geteuid() != 0)
        return {};
    if (st.st_uid != 0)
        return QStringLiteral("the password file %1 belongs to uid %2, not root; run as root, Quarvo uses only a "
                              "password file that no one but root can read or change")
            .arg(path, QString::number(st.st_uid));
    if (st.st_mode & 077)
        return QStringLiteral("the password file %1 can be read or changed by others (mode %2); run as root, Quarvo "
                              "uses only a password file that no one but root can read or change (chmod 600)")
            .arg(path, QString::number(st.st_mode & 07777, 8));
    return {};
}

} // namespace

PasswordFile::PasswordFile(const QString& path) : m_bytes(kMaxSize + 1, '\0') {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        m_why = QStringLiteral("cannot read the password file %1: %2").arg(path, systemError(errno));
        return;
    }
    if (const QString why = refusal(fd, path); !why.isEmpty()) {
        m_why = why;
        ::close(fd);
        return;
    }
    ssize_t n = 0;
    while (m_size <= kMaxSize) {
        n = ::read(fd, m_bytes.data() + m_size, std::size_t(kMaxSize + 1 - m_size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        m_size += n;
    }
    const int error = errno;
    ::close(fd);
    if (n < 0)
        m_why = QStringLiteral("cannot read the password file %1: %2").arg(path, systemError(error));
    else if (m_size > kMaxSize)
        m_why = QStringLiteral("the password file %1 is longer than %2 bytes").arg(path, QString::number(kMaxSize));
    if (m_size > 0 && m_bytes[m_size - 1] == '\n')
        --m_size;
    if (m_size > 0 && m_bytes[m_size - 1] == '\r')
        --m_size;
    if (!ok())
        m_size = 0;
}

PasswordFile::~PasswordFile() {
    ::explicit_bzero(m_bytes.data(), std::size_t(m_bytes.size()));
}
