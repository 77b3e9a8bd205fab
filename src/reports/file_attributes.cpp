#include "reports/file_attributes.h"

#include <QList>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace {

mode_t newFileMode() {
    const mode_t mask = ::umask(022);
    ::umask(mask);
    return 0666 & ~mask;
}

QList<QByteArray> attributeNames(const QByteArray& path) {
    const ssize_t size = ::llistxattr(path.constData(), nullptr, 0);
    if (size <= 0)
        return {};
    QByteArray names(size, '\0');
    const ssize_t got = ::llistxattr(path.constData(), names.data(), std::size_t(names.size()));
    QList<QByteArray> out;
    for (const QByteArray& name : names.left(got > 0 ? got : 0).split('\0')) {
        if (!name.isEmpty())
            out.append(name);
    }
    return out;
}

// Every extended attribute the old file has, the ACL ("system.posix_acl_access")
// among them. One that this user may not set (a "trusted." one) or that the
// new file system cannot hold is only a loss where it could widen access.
QString copyAttributes(const QByteArray& from, int to) {
    for (const QByteArray& name : attributeNames(from)) {
        const ssize_t size = ::lgetxattr(from.constData(), name.constData(), nullptr, 0);
        QByteArray value(size > 0 ? size : 0, '\0');
        if (size < 0 || ::lgetxattr(from.constData(), name.constData(), value.data(), std::size_t(value.size())) != size)
            continue;
        if (::fsetxattr(to, name.constData(), value.constData(), std::size_t(value.size()), 0) == 0)
            continue;
        if (name.startsWith("system.posix_acl"))
            return QStringLiteral("its ACL cannot be kept: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    }
    return {};
}

} // namespace

QString FileAttributes::takeOver(int fd, const QByteArray& path) {
    struct stat st {};
    if (::lstat(path.constData(), &st) != 0 || !S_ISREG(st.st_mode)) {
        ::fchmod(fd, newFileMode());
        return {};
    }
    // The owner first: changing it clears the set-ID bits the mode then puts back.
    if (::geteuid() == 0)
        (void)::fchown(fd, st.st_uid, st.st_gid);
    const QString lost = copyAttributes(path, fd);
    // After the ACL: the mode's group bits are its mask, as they were.
    ::fchmod(fd, st.st_mode & 07777);
    return lost;
}
