#pragma once

#include "fileops/folder_chain.h"
#include "fsview/volume_view.h"
#include "reports/row_record.h"

#include <QHash>
#include <QPair>

#include <sys/stat.h>

// Opens the folders file rows listed, from the volume root's descriptor
// down, one raw name at a time, never through a link or onto another file
// system, each folder checked to be the one the walk listed. Remembers what
// this operation itself did to files, so that a second name of a file whose
// first name it removed or moved is still recognised.
class ListingAccess {
public:
    explicit ListingAccess(const VolumeView& volumes) : m_volumes(volumes) {}

    // The folder, open as O_PATH; -1 otherwise, with errno, and changed set
    // when it is no longer the folder listed (replaced, a link, elsewhere).
    struct Folder {
        int fd = -1;
        int error = 0;
        bool changed = false;
    };
    Folder open(const ListedFolderNode& folder);

    // A file's status after an act of ours on one of its names.
    void noteOwnChange(const struct stat& after);
    const struct stat* ownChange(const FileIdentity& identity) const;

private:
    bool openRoot(const ListedFolderNode& root);
    Folder failed(bool changed);

    const VolumeView& m_volumes;
    QString m_server;
    QString m_volume;
    UniqueFd m_root;
    const ListedFolderNode* m_checkedRoot = nullptr;
    const ListedFolderNode* m_lastFolder = nullptr; // its descriptor is the chain's last
    int m_lastFd = -1;
    FolderChain m_chain;
    QHash<QPair<quint64, quint64>, struct stat> m_own;
};
