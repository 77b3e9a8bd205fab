#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The mounted file systems of this host, as /proc/self/mountinfo lists them.
struct MountEntry {
    QByteArray mountPoint; // unescaped (\040 and friends decoded)
    QByteArray fsType;
    QByteArray source;
    QByteArray device;     // "major:minor"
};

class MountTable {
public:
    // Entries in file order; an unreadable file gives an empty list.
    static QList<MountEntry> read(const QString& mountinfoPath = QStringLiteral("/proc/self/mountinfo"));
    static QList<MountEntry> parse(const QByteArray& mountinfo);
    // proc, sysfs, cgroup, devtmpfs, tmpfs and the other memory or kernel file systems.
    static bool isVirtual(const QByteArray& fsType);
    // Whether a file system is mounted on the directory now (a bind mount
    // counts); false when it cannot be reached. A link to a directory is followed.
    static bool isMountPoint(const QByteArray& path);
};
