#include "fsview/volume_view.h"

#include "fsview/volume_path_lookup.h"

namespace {

QString volumeDisplay(const VolumePathParts& parts) {
    return QStringLiteral("\\\\") + parts.server.toUpper() + QLatin1Char('\\') + parts.volume.toUpper();
}

} // namespace

std::optional<VolumePathParts> VolumePathParts::split(const QString& volumePath) {
    if (!volumePath.startsWith(QLatin1String("\\\\")))
        return std::nullopt;
    const QStringList parts = volumePath.mid(2).split(QLatin1Char('\\'));
    if (parts.size() < 2 || parts[0].isEmpty() || parts[1].isEmpty())
        return std::nullopt;
    VolumePathParts result{parts[0], parts[1], {}};
    for (qsizetype i = 2; i < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            result.dirs.append(parts[i]);
    }
    return result;
}

// The lookup of a volume path, or why it cannot start: not a volume path, or no such volume.
std::optional<VolumePathLookup> VolumeView::lookup(const QString& volumePath, QStringList& dirs, QString& error) const {
    const std::optional<VolumePathParts> parts = VolumePathParts::split(volumePath);
    if (!parts) {
        error = QStringLiteral("not a volume path: %1").arg(volumePath);
        return std::nullopt;
    }
    const std::optional<QByteArray> root = m_locator.volumeRoot(parts->server, parts->volume);
    if (!root) {
        error = m_locator.whyNoRoot(parts->server, parts->volume);
        if (error.isEmpty())
            error = QStringLiteral("no volume %1 on server %2").arg(parts->volume, parts->server);
        return std::nullopt;
    }
    dirs = parts->dirs;
    return std::optional<VolumePathLookup>(std::in_place, *root, volumeDisplay(*parts), volumePath);
}

VolumeView::Resolved VolumeView::resolve(const QString& volumePath) const {
    QStringList dirs;
    QString error;
    std::optional<VolumePathLookup> found = lookup(volumePath, dirs, error);
    if (!found)
        return {{}, {}, error};
    if (!found->descend(dirs, true))
        return {{}, {}, found->error()};
    return {found->localPath(), found->display(), {}};
}

VolumeView::Opened VolumeView::openDirectory(const QString& volumePath) const {
    Opened opened;
    QStringList dirs;
    std::optional<VolumePathLookup> found = lookup(volumePath, dirs, opened.error);
    if (!found)
        return opened;
    if (found->descend(dirs, false))
        opened.fd = found->openForReading();
    opened.display = found->display();
    opened.names = found->names();
    opened.error = found->error();
    opened.transient = found->transient();
    return opened;
}

bool VolumeView::canOpenDirectory(const QString& volumePath) const {
    return openDirectory(volumePath).ok();
}
