#pragma once

#include "fsview/file_identity.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>

#include <cstdint>
#include <map>
#include <utility>
#include <span>
#include <vector>

// What a Directory walk saw, kept for browsing without a second walk: every
// folder and file with its name, apparent and allocated size, owner and
// modification, in flat arrays (no object per file, names in one pool), and
// once finished each folder's sums below it and its children by size. Each
// entry keeps what identifies it as listed (device, inode, times to the
// nanosecond), so a file can be deleted or moved from the tree only while it
// is still the file the walk saw; such files are then taken out.
class SizeTree {
public:
    using Index = std::uint32_t;
    static constexpr Index kNone = 0xFFFFFFFFu;
    // The owner of an entry whose source did not say (a kept run, a scan
    // without its extended fields): uid -1 names no user.
    static constexpr std::uint32_t kNoOwner = 0xFFFFFFFFu;

    struct Item {
        std::uint64_t size = 0;      // apparent bytes
        std::uint64_t allocated = 0; // bytes of the blocks taken
        std::int64_t mtime = 0;      // seconds since the epoch
        std::uint64_t inode = 0;
        std::int64_t ctime = 0;      // status change, seconds since the epoch
        std::uint32_t uid = 0;
        std::uint32_t mtimeNsec = 0;
        std::uint32_t ctimeNsec = 0;
    };
    struct Sums {
        std::uint64_t bytes = 0;     // apparent, the folder's own inode and every file below once
        std::uint64_t allocated = 0;
        std::uint64_t files = 0;
        std::uint64_t folders = 0;   // below it, not itself
        std::int64_t newest = 0;     // the newest modification below it, itself included
    };

    // Where the walk began: its server and volume, the raw names from the
    // volume root down to it, and whether the run's rows each summed a whole
    // subtree (one per folder below the start) or a folder's own files.
    struct Start {
        QString server;
        QString volume;
        QList<QByteArray> names;
        bool subtreeRows = false;
    };
    void setStart(Start start) { m_start = std::move(start); }
    const Start& start() const { return m_start; }

    // The start folder first (parent kNone), then each folder below one
    // already added. own: the folder's own inode; device: its file system,
    // which its files share.
    Index addFolder(Index parent, QByteArrayView name, const Item& own, std::uint64_t device = 0);
    // countedElsewhere: another name of the same file was added before; it
    // is listed but adds nothing to the sums, as du counts it. linked: the
    // file has more than one name (st_nlink), here or elsewhere.
    Index addFile(Index folder, QByteArrayView name, const Item& item, bool countedElsewhere = false,
                  bool linked = false);
    // Sums every folder and orders each folder's children, largest first.
    void finish();
    // Takes files (not folders) out after finish(): every folder above
    // loses what it counted of them, another name of such a file left in
    // the tree counts it from now on, as du would, and the folders above are
    // ordered again. Entries keep their numbers.
    void removeFiles(std::span<const Index> files);

    std::size_t size() const { return m_parent.size(); }
    bool isFolder(Index i) const { return m_folderNo[i] != kNone; }
    Index parent(Index i) const { return m_parent[i]; }
    QByteArray name(Index i) const;
    const Item& item(Index i) const { return m_item[i]; }
    // Another name of a file met before: listed, not summed.
    bool countedElsewhere(Index i) const { return m_countedElsewhere[i]; }
    bool removed(Index i) const { return m_removed[i]; }
    // The file system a folder, or a file's folder, lay on.
    std::uint64_t device(Index i) const { return m_folderDevice[m_folderNo[isFolder(i) ? i : m_parent[i]]]; }
    // What the walk saw of a file, as FileIdentity::of its stat gives it.
    FileIdentity identity(Index file) const;
    // The file's other names still in the tree.
    std::vector<Index> otherNames(Index file) const;
    // A folder's sums; a file's own figures as sums of one file.
    Sums sums(Index i) const;
    // The size shown: apparent or allocated, a folder's whole subtree; 0 for
    // a file's name counted elsewhere.
    std::uint64_t bytes(Index i, bool allocated) const;
    // Folders and files right below, largest first (after finish()).
    std::span<const Index> children(Index folder) const;
    // Where i is among its parent's children (after finish()).
    std::uint32_t rowInParent(Index i) const { return m_rowInParent[i]; }
    // Names from the start folder down, joined with separator (the start's
    // own name first, which may end with one already).
    QByteArray path(Index i, char separator = '/') const;

private:
    Index add(Index parent, QByteArrayView name, const Item& item, Index folderNo);
    // Adds (or with sign -1 takes) what the entry counts to every folder above it.
    void countAbove(Index i, int sign, std::vector<bool>& touched);
    void countInsteadOf(Index file, std::vector<bool>& touched);
    void refreshNewest(Index folderNo);
    void dropRemovedChildren();
    void order(Index folderNo);

    std::vector<Index> m_parent;
    std::vector<std::uint32_t> m_nameAt;  // into m_names; the name ends where the next begins
    std::vector<Item> m_item;
    std::vector<Index> m_folderNo;        // kNone for a file
    std::vector<bool> m_countedElsewhere;
    std::vector<bool> m_removed;
    std::vector<bool> m_linked;
    // The names of each file with several, by device and inode (after finish()).
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::vector<Index>> m_namesOfLinked;
    QByteArray m_names;
    Start m_start;
    // Per folder number:
    std::vector<Index> m_folderEntry;
    std::vector<std::uint64_t> m_folderDevice;
    std::vector<Sums> m_sums;
    std::vector<std::uint32_t> m_childrenAt; // into m_children, one past the end per folder + 1
    std::vector<Index> m_children;
    std::vector<std::uint32_t> m_rowInParent;
};
