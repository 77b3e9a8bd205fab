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

VolumeView::Resolved VolumeView::resolve(const QString& volumePath) const {
    const std::optional<VolumePathParts> parts = VolumePathParts::split(volumePath);
    if (!parts)
        return {{}, {}, QStringLiteral("not a volume path: %1").arg(volumePath)};
    const std::optional<QByteArray> root = m_locator.volumeRoot(parts->server, parts->volume);
    if (!root)
        return {{}, {}, QStringLiteral("no volume %1 on server %2").arg(parts->volume, parts->server)};
    VolumePathLookup lookup(*root, volumeDisplay(*parts), volumePath);
    if (!lookup.descend(parts->dirs, true))
        return {{}, {}, lookup.error()};
    return {lookup.localPath(), lookup.display(), {}};
}

VolumeView::Opened VolumeView::openDirectory(const QString& volumePath) const {
    Opened opened;
    const std::optional<VolumePathParts> parts = VolumePathParts::split(volumePath);
    if (!parts) {
        opened.error = QStringLiteral("not a volume path: %1").arg(volumePath);
        return opened;
    }
    const std::optional<QByteArray> root = m_locator.volumeRoot(parts->server, parts->volume);
    if (!root) {
        opened.error = QStringLiteral("no volume %1 on server %2").arg(parts->volume, parts->server);
        return opened;
    }
    VolumePathLookup lookup(*root, volumeDisplay(*parts), volumePath);
    if (lookup.descend(parts->dirs, false))
        opened.fd = lookup.openForReading();
    opened.display = lookup.display();
    opened.error = lookup.error();
    opened.transient = lookup.transient();
    return opened;
}

bool VolumeView::canOpenDirectory(const QString& volumePath) const {
    return openDirectory(volumePath).ok();
}
