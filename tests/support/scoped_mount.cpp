#include "scoped_mount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ScopedMount::ScopedMount(const QByteArray& source, const QByteArray& mountPoint, const char* type,
                         unsigned long flags, const QByteArray& data, const QString& what)
    : m_mountPoint(mountPoint) {
    if (::geteuid() != 0) {
        m_why = QStringLiteral("%1 needs root").arg(what);
        return;
    }
    m_mounted = ::mount(source.constData(), mountPoint.constData(), type, flags,
                        data.isEmpty() ? nullptr : data.constData()) == 0;
    if (!m_mounted)
        m_why = QStringLiteral("mount(2) of %1 failed: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
}

ScopedMount::~ScopedMount() {
    if (m_mounted)
        ::umount2(m_mountPoint.constData(), MNT_DETACH);
}
