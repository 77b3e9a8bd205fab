#pragma once

#include "netware/client/mount_table.h"
#include "netware/client/site.h"

#include <QList>
#include <QString>

// The workstation's view of this host with no site file: one tree and one
// server named after the host, one volume per mounted disk file system.
class SystemSite {
public:
    // Host "vm" gives "VM_TREE": the short name upper-cased, other characters
    // than letters and digits as "_", then "_TREE", at most 24 characters.
    static QString treeName(const QString& hostName);
    // Host "vm.example.org" gives "VM".
    static QString serverName(const QString& hostName);
    // "/" is SYS; any other disk file system is named after its mount point's
    // last component, upper-cased, at most 15 characters, made unique.
    // Virtual file systems, and mount points that are not directories, are left out;
    // a file system mounted twice appears once. All but SYS must stay mount points.
    static QList<VolumeConfig> volumes(const QList<MountEntry>& mounts);
    // The system tree (default, connected, directory "system") and the host's server.
    static Site build(const QString& hostName, const QList<MountEntry>& mounts);
    // Adds a site file's trees and servers to the host's. A server of the file
    // named like the host's replaces the host's volume table; a default tree of
    // the file becomes the default instead of the host's tree.
    static Site merge(Site host, const Site& file);
};
