#pragma once

#include "fsview/file_identity.h"

#include <QByteArray>
#include <QString>

#include <memory>

// A folder of a listing, by the raw bytes of its name below its parent, up
// to the volume root: what a file row's folder is, whatever its display
// text (names that are not UTF-8, names holding a backslash, paths longer
// than PATH_MAX). Folders of one walk share their parents.
struct ListedFolderNode {
    std::shared_ptr<const ListedFolderNode> parent; // null at the volume root
    QByteArray name;                                 // empty at the volume root
    QString server;                                  // at the volume root only
    QString volume;
    // The folder's own identity as the walk saw it; 0 where it was only passed.
    std::uint64_t device = 0;
    std::uint64_t inode = 0;

    const ListedFolderNode& root() const {
        const ListedFolderNode* node = this;
        while (node->parent)
            node = node->parent.get();
        return *node;
    }
};

// What a file row listed, kept beside its cells: where the file lay and
// what it was. Only rows with one are ever deleted or moved.
struct RowRecord {
    std::shared_ptr<const ListedFolderNode> folder;
    QByteArray name;
    FileIdentity identity;
};
