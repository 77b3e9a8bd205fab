#include "app/site_listing.h"

#include <QFile>

#include <algorithm>

namespace SiteListing {

namespace {

QString directoryKind(DirectoryKind kind) {
    switch (kind) {
    case DirectoryKind::System:
        return QStringLiteral("system");
    case DirectoryKind::Inline:
        return QStringLiteral("inline");
    case DirectoryKind::Ldap:
        return QStringLiteral("ldap");
    }
    return {};
}

QString treeLine(const TreeConfig& tree) {
    QStringList notes = {directoryKind(tree.directory) + QStringLiteral(" directory")};
    if (tree.isDefault) notes.prepend(QStringLiteral("default"));
    return QStringLiteral("  %1  (%2)").arg(tree.name, notes.join(QStringLiteral(", ")));
}

} // namespace

QStringList lines(const Site& site) {
    QStringList out = {QStringLiteral("Trees (/T=):")};
    for (const TreeConfig& tree : site.trees)
        out.append(treeLine(tree));
    QList<std::pair<QString, QString>> volumes;
    for (const ServerConfig& server : site.servers) {
        for (const VolumeConfig& volume : server.volumes)
            volumes.append({QStringLiteral("\\\\%1\\%2").arg(server.name, volume.name),
                            QFile::decodeName(volume.root) +
                                (volume.mountedNow() ? QString() : QStringLiteral("  (not mounted)"))});
    }
    qsizetype width = 0;
    for (const auto& [path, root] : std::as_const(volumes))
        width = std::max(width, path.size());
    out.append(QStringLiteral("Servers and volumes (/S=, /V=, /D=), with their local roots:"));
    for (const auto& [path, root] : std::as_const(volumes))
        out.append(QStringLiteral("  ") + path.leftJustified(width) + QStringLiteral("  ") + root);
    return out;
}

} // namespace SiteListing
