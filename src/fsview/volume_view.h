#pragma once

#include "fsview/unique_fd.h"
#include "fsview/volume_path_lookup.h"
#include "fsview/volume_locator.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// A volume path \\SERVER\VOLUME\DIR\... taken apart.
struct VolumePathParts {
    QString server;
    QString volume;
    QStringList dirs; // components below the volume root, empty ones dropped

    // Empty unless the text starts with "\\" and names a server and a volume.
    static std::optional<VolumePathParts> split(const QString& volumePath);
};

// The file-system view of the servers' volumes: volume paths resolved to
// local paths through the server's volume table.
//
// Each component is looked up in the directory the one before it opened:
// its exact name first, else the one entry equal to it without regard to
// case (NetWare names are case-insensitive); several such entries are
// refused rather than one picked. No symbolic link is passed, no other file
// system entered and ".." is refused, so what a path opens always lies on its
// volume, even when a directory is swapped for a link meanwhile.
class VolumeView {
public:
    struct Resolved {
        QByteArray path;  // local path, when resolved
        QString display;  // \\SERVER\VOLUME\ and each directory's name as stored
        QString error;    // why not, otherwise
        bool ok() const { return error.isEmpty(); }
    };

    // A directory opened for a walk.
    struct Opened {
        UniqueFd fd;
        QString display; // as in Resolved
        QList<QByteArray> names; // raw names of the components below the volume root
        QString error;
        // The path names a directory that could not be opened now (no
        // permission, an I/O error): trying again may help.
        bool transient = false;
        bool ok() const { return fd.valid(); }
    };

    explicit VolumeView(const VolumeLocator& locator) : m_locator(locator) {}

    // The entry the path names, a directory or not.
    Resolved resolve(const QString& volumePath) const;
    // The directory the path names, open for reading.
    Opened openDirectory(const QString& volumePath) const;
    // Whether the path names a directory that can be opened.
    bool canOpenDirectory(const QString& volumePath) const;
    // The local root of \\server\volume; empty when there is none.
    std::optional<QByteArray> volumeRoot(const QString& server, const QString& volume) const {
        return m_locator.volumeRoot(server, volume);
    }

private:
    std::optional<VolumePathLookup> lookup(const QString& volumePath, QStringList& dirs, QString& error) const;

    const VolumeLocator& m_locator;
};
