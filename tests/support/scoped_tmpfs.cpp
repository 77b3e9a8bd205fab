#include "scoped_tmpfs.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ScopedTmpfs::ScopedTmpfs(const QByteArray& mountPoint, const QByteArray& size) : m_mountPoint(mountPoint) {
    if (::geteuid() != 0) {
        m_why = QStringLiteral("mounting a tmpfs needs root");
        return;
    }
    m_mounted = ::mount("tmpfs", mountPoint.constData(), "tmpfs", 0, ("size=" + size).constData()) == 0;
    if (!m_mounted) {
        const QString error = QString::fromLocal8Bit(std::strerror(errno));
        m_why = QStringLiteral("mount(2) of a tmpfs failed: %1").arg(error);
    }
}

ScopedTmpfs::~ScopedTmpfs() {
    // Lazily, so a file a failed test left open cannot keep it mounted.
    if (m_mounted)
        ::umount2(m_mountPoint.constData(), MNT_DETACH);
}
