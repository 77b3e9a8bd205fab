#include "netware/client/password_file.h"

#include <QFile>

#include <fcntl.h>
#include <string.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr qsizetype kMaxSize = 4096;

QString systemError(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

} // namespace

PasswordFile::PasswordFile(const QString& path) : m_bytes(kMaxSize + 1, '\0') {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        m_why = QStringLiteral("cannot read the password file %1: %2").arg(path, systemError(errno));
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
