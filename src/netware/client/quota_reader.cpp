#include "netware/client/quota_reader.h"

#include "netware/client/mount_table.h"

#include <fcntl.h>
#include <sys/quota.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

QByteArray deviceNumber(dev_t device) {
    return QByteArray::number(major(device)) + ':' + QByteArray::number(minor(device));
}

// The mount whose mount point root is; the last one listed is the one on top.
std::optional<MountEntry> mountAt(const QByteArray& root, int rootFd) {
    char real[PATH_MAX];
    struct stat st {};
    if (!::realpath(root.constData(), real) || ::fstat(rootFd, &st) != 0)
        return std::nullopt;
    std::optional<MountEntry> found;
    for (const MountEntry& entry : MountTable::read()) {
        if (entry.mountPoint == real)
            found = entry;
    }
    if (!found || found->device != deviceNumber(st.st_dev))
        return std::nullopt;
    return found;
}

} // namespace

std::optional<VolumeUsage> QuotaReader::usage(const QByteArray& root) {
    const int rootFd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (rootFd < 0)
        return std::nullopt;
    std::optional<VolumeUsage> result;
    if (const std::optional<MountEntry> mount = mountAt(root, rootFd)) {
        QuotaReader reader(rootFd, mount->source);
        if (reader.quotasOn())
            result = reader.readAll();
    }
    ::close(rootFd);
    return result;
}

// Q_GETINFO answers only while usage is accounted, and XFS answers it too.
// Asking by descriptor needs no device node (/dev/root, tmpfs); the device
// serves kernels without quotactl_fd.
bool QuotaReader::quotasOn() {
    if_dqinfo info{};
    m_byFd = true;
    if (callByFd(QCMD(Q_GETINFO, USRQUOTA), 0, &info) == 0)
        return true;
    m_byFd = false;
    return callByDevice(QCMD(Q_GETINFO, USRQUOTA), 0, &info) == 0;
}

std::optional<VolumeUsage> QuotaReader::readAll() const {
    VolumeUsage usage;
    usage.fromQuotas = true;
    std::uint32_t id = 0;
    for (;;) {
        if_nextdqblk entry{};
        if (call(QCMD(Q_GETNEXTQUOTA, USRQUOTA), id, &entry) != 0)
            return errno == ENOENT ? std::optional(std::move(usage)) : std::nullopt;
        if (entry.dqb_curspace > 0)
            usage.bytesByUid.insert(entry.dqb_id, entry.dqb_curspace);
        if (entry.dqb_curinodes > 0)
            usage.filesByUid.insert(entry.dqb_id, entry.dqb_curinodes);
        if (entry.dqb_id == UINT32_MAX)
            return usage;
        id = entry.dqb_id + 1;
    }
}

int QuotaReader::call(int command, std::uint32_t id, void* data) const {
    return m_byFd ? callByFd(command, id, data) : callByDevice(command, id, data);
}

int QuotaReader::callByFd(int command, std::uint32_t id, void* data) const {
#ifdef SYS_quotactl_fd
    return int(::syscall(SYS_quotactl_fd, m_rootFd, unsigned(command), id, data));
#else
    errno = ENOSYS;
    return -1;
#endif
}

int QuotaReader::callByDevice(int command, std::uint32_t id, void* data) const {
    return ::quotactl(command, m_device.constData(), int(id), static_cast<caddr_t>(data));
}
