#include "netware/client/password_file.h"

#include "netware/client/opened_file.h"

#include <string.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr qsizetype kMaxSize = 4096;

QString systemError(int error) {
    return QString::fromLocal8Bit(strerror(error));
}

// What OpenedFile found wrong on the way to the file.
QString openFault(const OpenedFile& file, const QString& path) {
    switch (file.fault()) {
    case OpenedFile::Fault::None:
        return {};
    case OpenedFile::Fault::CannotOpen:
        return QStringLiteral("cannot read the password file %1: %2").arg(path, systemError(file.error()));
    case OpenedFile::Fault::NotRegular:
        return QStringLiteral("the password file %1 is not a plain file").arg(path);
    case OpenedFile::Fault::UnsafeFolder:
        return QStringLiteral("the password file %1: its folder %2 %3; run as root, Quarvo uses only a password "
                              "file in folders that no one but root can change")
            .arg(path, file.folder(), file.whyUnsafe());
    }
    return {};
}

// Run as root, a service password is read only from a file of root's that
// no one else may read or change, in folders no one else may change, as
// sshd takes its keys.
QString refusal(const OpenedFile& file, const QString& path, bool root) {
    if (const QString fault = openFault(file, path); !fault.isEmpty() || !root)
        return fault;
    const struct stat& st = file.status();
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

// Read from the descriptor that was checked, never opened again by name.
PasswordFile::PasswordFile(const QString& path) : m_bytes(kMaxSize + 1, '\0') {
    const bool root = ::geteuid() == 0;
    const OpenedFile file(path, root);
    if (const QString why = refusal(file, path, root); !why.isEmpty()) {
        m_why = why;
        return;
    }
    ssize_t n = 0;
    while (m_size <= kMaxSize) {
        n = ::read(file.fd(), m_bytes.data() + m_size, std::size_t(kMaxSize + 1 - m_size));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        m_size += n;
    }
    if (n < 0)
        m_why = QStringLiteral("cannot read the password file %1: %2").arg(path, systemError(errno));
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
