#include "netware/client/system_site.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

constexpr qsizetype maxTreeName = 24;
constexpr qsizetype maxVolumeName = 15;
constexpr QLatin1String treeSuffix("_TREE");
constexpr QLatin1String rootVolume("SYS");

QString shortHostName(const QString& hostName) {
    return hostName.section(QLatin1Char('.'), 0, 0).toUpper();
}

bool isAsciiAlnum(QChar c) {
    return (c >= QLatin1Char('A') && c <= QLatin1Char('Z')) || (c >= QLatin1Char('0') && c <= QLatin1Char('9'));
}

// Directory and volume names travel as plain ASCII, so anything else becomes "_".
QString replaceOthers(QString name, bool keepHyphen) {
    for (QChar& c : name) {
        const bool keep = isAsciiAlnum(c) || c == QLatin1Char('_') || (keepHyphen && c == QLatin1Char('-'));
        if (!keep)
            c = QLatin1Char('_');
    }
    return name;
}

QString volumeBaseName(const QByteArray& mountPoint) {
    const QString path = QFile::decodeName(mountPoint);
    const QString last = path.section(QLatin1Char('/'), -1, -1, QString::SectionSkipEmpty);
    return replaceOthers(last.toUpper(), true).left(maxVolumeName);
}

// DATA, DATA2, DATA3...; the base gives way to the number so the name stays
// within what a volume name may hold.
QString uniqueName(const QString& base, const QSet<QString>& used) {
    QString name = base;
    for (int n = 2; used.contains(name); ++n) {
        const QString suffix = QString::number(n);
        name = base.left(maxVolumeName - suffix.size()) + suffix;
    }
    return name;
}

bool isKeptMount(const MountEntry& mount, const QSet<QByteArray>& devices) {
    return mount.mountPoint != "/" && !MountTable::isVirtual(mount.fsType)
        && !devices.contains(mount.device) && QFileInfo(QFile::decodeName(mount.mountPoint)).isDir();
}

QByteArray rootDevice(const QList<MountEntry>& mounts) {
    for (const MountEntry& mount : mounts) {
        if (mount.mountPoint == "/")
            return mount.device;
    }
    return {};
}

template <typename T>
qsizetype indexOfName(const QList<T>& items, const QString& name) {
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (items[i].name.compare(name, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

// Items of the file replace same-named ones of the host in place, others follow.
template <typename T>
void mergeByName(QList<T>& into, const QList<T>& from) {
    for (const T& item : from) {
        const qsizetype at = indexOfName(into, item.name);
        if (at < 0)
            into.append(item);
        else
            into[at] = item;
    }
}

} // namespace

QString SystemSite::treeName(const QString& hostName) {
    const QString base = replaceOthers(shortHostName(hostName), false);
    return base.left(maxTreeName - treeSuffix.size()) + treeSuffix;
}

QString SystemSite::serverName(const QString& hostName) {
    return shortHostName(hostName);
}

QList<VolumeConfig> SystemSite::volumes(const QList<MountEntry>& mounts) {
    // The root file system is SYS even when it is an overlay or a tmpfs, as in
    // containers and live systems; there is always something to report on.
    QList<VolumeConfig> result{{QString(rootVolume), QByteArrayLiteral("/")}};
    QSet<QString> names{QString(rootVolume)};
    QSet<QByteArray> devices;
    if (const QByteArray root = rootDevice(mounts); !root.isEmpty())
        devices.insert(root);
    for (const MountEntry& mount : mounts) {
        if (!isKeptMount(mount, devices))
            continue;
        const QString name = uniqueName(volumeBaseName(mount.mountPoint), names);
        // Found mounted at start; once unmounted, its folder is not the disk.
        result.append({name, mount.mountPoint, true});
        names.insert(name);
        devices.insert(mount.device);
    }
    return result;
}

Site SystemSite::build(const QString& hostName, const QList<MountEntry>& mounts) {
    TreeConfig tree;
    tree.name = treeName(hostName);
    tree.directory = DirectoryKind::System;
    tree.isDefault = true;
    tree.connected = true;
    return Site{{tree}, {ServerConfig{serverName(hostName), volumes(mounts)}}};
}

Site SystemSite::merge(Site host, const Site& file) {
    if (file.defaultTree()) {
        for (TreeConfig& tree : host.trees)
            tree.isDefault = false;
    }
    mergeByName(host.trees, file.trees);
    mergeByName(host.servers, file.servers);
    return host;
}
