#include "netware/client/mount_table.h"

#include <QFile>

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstdlib>
#include <optional>
#include <string_view>

namespace {

bool isOctalDigit(char c) {
    return c >= '0' && c <= '7';
}

// The kernel writes blanks, tabs, newlines and backslashes in paths as \ooo.
QByteArray unescape(const QByteArray& field) {
    QByteArray out;
    out.reserve(field.size());
    for (qsizetype i = 0; i < field.size(); ++i) {
        const bool escape = field[i] == '\\' && i + 3 < field.size() && isOctalDigit(field[i + 1])
            && isOctalDigit(field[i + 2]) && isOctalDigit(field[i + 3]);
        if (escape) {
            out.append(char(((field[i + 1] - '0') << 6) | ((field[i + 2] - '0') << 3) | (field[i + 3] - '0')));
            i += 3;
        } else {
            out.append(field[i]);
        }
    }
    return out;
}

// "36 35 98:0 /mnt1 /mnt2 rw,noatime master:1 - ext3 /dev/root rw,errors=continue":
// six fixed fields, any number of optional ones ended by "-", then type,
// source and super options.
std::optional<MountEntry> parseLine(const QByteArray& line) {
    const QList<QByteArray> fields = line.split(' ');
    const qsizetype separator = fields.indexOf("-", 6);
    if (fields.size() < 6 || separator < 0 || separator + 2 >= fields.size())
        return std::nullopt;
    MountEntry entry;
    entry.device = fields[2];
    entry.mountPoint = unescape(fields[4]);
    entry.fsType = fields[separator + 1];
    entry.source = unescape(fields[separator + 2]);
    return entry;
}

} // namespace

QList<MountEntry> MountTable::read(const QString& mountinfoPath) {
    QFile file(mountinfoPath);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return parse(file.readAll());
}

QList<MountEntry> MountTable::parse(const QByteArray& mountinfo) {
    QList<MountEntry> entries;
    for (const QByteArray& line : mountinfo.split('\n')) {
        if (std::optional<MountEntry> entry = parseLine(line))
            entries.append(*entry);
    }
    return entries;
}

bool MountTable::isVirtual(const QByteArray& fsType) {
    // overlay is deliberately absent: inside a container it is the root disk.
    // The fuse helpers listed show desktop or container plumbing, not disks.
    static constexpr std::array<std::string_view, 27> virtualTypes = {
        "proc", "sysfs", "cgroup", "cgroup2", "devtmpfs", "devpts", "tmpfs", "ramfs",
        "securityfs", "pstore", "bpf", "debugfs", "tracefs", "mqueue", "hugetlbfs",
        "configfs", "fusectl", "autofs", "binfmt_misc", "rpc_pipefs", "nsfs", "efivarfs",
        "selinuxfs", "squashfs", "fuse.gvfsd-fuse", "fuse.portal", "fuse.lxcfs"};
    const std::string_view type(fsType.constData(), std::size_t(fsType.size()));
    return std::find(virtualTypes.begin(), virtualTypes.end(), type) != virtualTypes.end();
}

bool MountTable::isMountPoint(const QByteArray& path) {
    // No AT_NO_AUTOMOUNT: an automounted volume is mounted by being used.
    struct statx self {};
    if (::statx(AT_FDCWD, path.constData(), 0, STATX_INO, &self) != 0)
        return false;
    if (self.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT)
        return (self.stx_attributes & STATX_ATTR_MOUNT_ROOT) != 0;
    // Kernels before 5.8: another file system shows in the device number, the
    // root is its own parent, and a bind mount of the same one only in the table.
    struct stat here {}, parent {};
    if (::stat(path.constData(), &here) != 0 || ::stat((path + "/..").constData(), &parent) != 0)
        return false;
    if (here.st_dev != parent.st_dev || here.st_ino == parent.st_ino)
        return true;
    char real[PATH_MAX];
    if (!::realpath(path.constData(), real))
        return false;
    const QList<MountEntry> mounts = read();
    return std::any_of(mounts.begin(), mounts.end(), [&](const MountEntry& m) { return m.mountPoint == real; });
}
