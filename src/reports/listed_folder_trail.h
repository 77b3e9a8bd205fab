#pragma once

#include "fsview/ordered_walk.h"
#include "reports/row_record.h"

#include <QList>

#include <vector>

// The folder of each directory of a walk by raw names, from the volume root,
// built as the walk goes (in pre-order), so file rows can keep where their
// file lay without keeping its path text.
class ListedFolderTrail {
public:
    // The start directory: its server and volume and the raw names leading
    // to it from the volume root.
    ListedFolderTrail(const QString& server, const QString& volume, const QList<QByteArray>& names);

    const std::shared_ptr<const ListedFolderNode>& enter(const WalkedDirectory& directory);

private:
    std::shared_ptr<const ListedFolderNode> m_aboveStart; // the start's parent; null when the start is the root
    QByteArray m_startName;
    QString m_server;
    QString m_volume;
    std::vector<std::shared_ptr<const ListedFolderNode>> m_depths; // the current folder and its parents, from the start
};
