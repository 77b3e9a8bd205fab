#include "fileops/listing_access.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <vector>

namespace {

bool isListedAs(int fd, const ListedFolderNode& node) {
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return false;
    return node.inode == 0 || (std::uint64_t(st.st_dev) == node.device && std::uint64_t(st.st_ino) == node.inode);
}

} // namespace

// The volume's root may itself be reached through a link: it is configured, not listed.
bool ListingAccess::openRoot(const ListedFolderNode& root) {
    if (m_root.valid() && root.server == m_server && root.volume == m_volume)
        return true;
    m_chain.clear();
    m_root.reset();
    m_checkedRoot = nullptr;
    m_lastFolder = nullptr;
    m_server = root.server;
    m_volume = root.volume;
    const std::optional<QByteArray> path = m_volumes.volumeRoot(root.server, root.volume);
    if (!path) {
        errno = ENOENT;
        return false;
    }
    m_root.reset(::open(path->constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return m_root.valid();
}

ListingAccess::Folder ListingAccess::failed(bool changed) {
    const int error = errno;
    return {-1, error, changed || error == ELOOP || error == ENOTDIR || error == EXDEV};
}

ListingAccess::Folder ListingAccess::open(const ListedFolderNode& folder) {
    if (&folder == m_lastFolder)
        return {m_lastFd, 0, false}; // the rows of one folder follow each other
    m_lastFolder = nullptr;
    std::vector<const ListedFolderNode*> nodes; // below the root, top down
    for (const ListedFolderNode* node = &folder; node->parent; node = node->parent.get())
        nodes.push_back(node);
    std::reverse(nodes.begin(), nodes.end());
    const ListedFolderNode& root = folder.root();
    if (!openRoot(root))
        return failed(false);
    if (&root != m_checkedRoot && !isListedAs(m_root.get(), root)) {
        m_root.reset(); // looked at again next time: a volume may be mounted again
        errno = ESTALE;
        return failed(true);
    }
    m_checkedRoot = &root;
    QList<QByteArray> names;
    for (const ListedFolderNode* node : nodes)
        names.append(node->name);
    bool changed = false;
    const auto step = [&](int parent, const QByteArray& name, std::size_t index) {
        UniqueFd fd = FolderChain::openComponent(parent, name, O_PATH | O_DIRECTORY);
        if (fd.valid() && !isListedAs(fd.get(), *nodes[index])) {
            changed = true;
            errno = ESTALE;
            return UniqueFd();
        }
        return fd;
    };
    const int fd = m_chain.open(m_root.get(), names, step);
    if (fd < 0)
        return failed(changed);
    m_lastFolder = &folder;
    m_lastFd = fd;
    return {fd, 0, false};
}

void ListingAccess::noteOwnChange(const struct stat& after) {
    m_own.insert({quint64(after.st_dev), quint64(after.st_ino)}, after);
}

const struct stat* ListingAccess::ownChange(const FileIdentity& identity) const {
    const auto found = m_own.constFind({identity.device, identity.inode});
    return found == m_own.constEnd() ? nullptr : &*found;
}
