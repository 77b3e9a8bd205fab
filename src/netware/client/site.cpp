#include "netware/client/site.h"

#include "netware/client/mount_table.h"

namespace {

// Tree and server names are upper-case once loaded, but callers pass what a
// user typed, so the comparison ignores case.
template <typename T>
const T* findByName(const QList<T>& items, const QString& name) {
    for (const T& item : items) {
        if (item.name.compare(name, Qt::CaseInsensitive) == 0)
            return &item;
    }
    return nullptr;
}

} // namespace

const TreeConfig* Site::findTree(const QString& name) const {
    return findByName(trees, name);
}

const ServerConfig* Site::findServer(const QString& name) const {
    return findByName(servers, name);
}

const TreeConfig* Site::defaultTree() const {
    for (const TreeConfig& tree : trees) {
        if (tree.isDefault)
            return &tree;
    }
    return nullptr;
}

bool VolumeConfig::mountedNow() const {
    return !mountPoint || MountTable::isMountPoint(root);
}
