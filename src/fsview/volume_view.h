#pragma once

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
class VolumeView {
public:
    struct Resolved {
        QByteArray path;  // local path, when resolved
        QString error;    // why not, otherwise
        bool ok() const { return error.isEmpty(); }
    };

    explicit VolumeView(const VolumeLocator& locator) : m_locator(locator) {}

    // Each component matches exactly, else without regard to case (NetWare
    // names are case-insensitive and command lines arrive upper-cased). A path
    // that would leave its volume root, through ".." or a symbolic link, is refused.
    Resolved resolve(const QString& volumePath) const;

    // Whether the volume path resolves and its directory can be opened.
    bool canOpenDirectory(const QString& volumePath) const;

private:
    const VolumeLocator& m_locator;
};
