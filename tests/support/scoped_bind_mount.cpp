#include "scoped_bind_mount.h"

#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ScopedBindMount::ScopedBindMount(const QByteArray& source, const QByteArray& mountPoint)
    : m_mountPoint(mountPoint) {
    if (::geteuid() != 0) {
        m_why = QStringLiteral("a bind mount needs root");
        return;
    }
    m_mounted = ::mount(source.constData(), mountPoint.constData(), nullptr, MS_BIND | MS_REC, nullptr) == 0;
    if (!m_mounted)
        m_why = QStringLiteral("mount(2) --rbind failed: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
}

ScopedBindMount::~ScopedBindMount() {
    // Lazily, and with what was mounted below it since, so nothing a failed
    // test left open or mounted keeps it there.
    if (m_mounted)
        ::umount2(m_mountPoint.constData(), MNT_DETACH);
}
