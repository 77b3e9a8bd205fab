#include "reports/listed_folder_trail.h"

ListedFolderTrail::ListedFolderTrail(const QString& server, const QString& volume, const QList<QByteArray>& names)
    : m_server(server), m_volume(volume) {
    if (names.isEmpty())
        return;
    auto node = std::make_shared<ListedFolderNode>();
    node->server = server;
    node->volume = volume;
    std::shared_ptr<const ListedFolderNode> parent = std::move(node);
    // Folders above the start were passed, not listed: they carry no identity.
    for (qsizetype i = 0; i + 1 < names.size(); ++i)
        parent = std::make_shared<ListedFolderNode>(ListedFolderNode{parent, names[i], {}, {}, 0, 0});
    m_aboveStart = std::move(parent);
    m_startName = names.back();
}

const std::shared_ptr<const ListedFolderNode>& ListedFolderTrail::enter(const WalkedDirectory& directory) {
    std::size_t depth = std::size_t(std::max(directory.depth, 0));
    if (depth > m_depths.size() && !m_depths.empty())
        return m_depths.back(); // a walk that skipped a level: keep the last folder
    depth = std::min(depth, m_depths.size());
    m_depths.resize(depth);
    auto node = std::make_shared<ListedFolderNode>();
    node->device = directory.device;
    node->inode = directory.inode;
    if (depth > 0) {
        node->parent = m_depths.back();
        node->name = directory.name;
    } else if (m_aboveStart) {
        node->parent = m_aboveStart;
        node->name = m_startName;
    } else {
        node->server = m_server;
        node->volume = m_volume;
    }
    m_depths.push_back(std::move(node));
    return m_depths.back();
}
