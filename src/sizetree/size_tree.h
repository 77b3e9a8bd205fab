#pragma once

#include <QByteArray>
#include <QByteArrayView>

#include <cstdint>
#include <span>
#include <vector>

// What a Directory walk saw, kept for browsing without a second walk: every
// folder and file with its name, apparent and allocated size, owner and
// modification, in flat arrays (no object per file, names in one pool), and
// once finished each folder's sums below it and its children by size.
class SizeTree {
public:
    using Index = std::uint32_t;
    static constexpr Index kNone = 0xFFFFFFFFu;

    struct Item {
        std::uint64_t size = 0;      // apparent bytes
        std::uint64_t allocated = 0; // bytes of the blocks taken
        std::uint32_t uid = 0;
        std::int64_t mtime = 0;      // seconds since the epoch
    };
    struct Sums {
        std::uint64_t bytes = 0;     // apparent, the folder's own inode and every file below once
        std::uint64_t allocated = 0;
        std::uint64_t files = 0;
        std::uint64_t folders = 0;   // below it, not itself
        std::int64_t newest = 0;     // the newest modification below it, itself included
    };

    // The start folder first (parent kNone), then each folder below one
    // already added. own: the folder's own inode.
    Index addFolder(Index parent, QByteArrayView name, const Item& own);
    // countedElsewhere: another name of the same file was added before; it
    // is listed but adds nothing to the sums, as du counts it.
    Index addFile(Index folder, QByteArrayView name, const Item& item, bool countedElsewhere = false);
    // Sums every folder and orders each folder's children, largest first.
    void finish();

    std::size_t size() const { return m_parent.size(); }
    bool isFolder(Index i) const { return m_folderNo[i] != kNone; }
    Index parent(Index i) const { return m_parent[i]; }
    QByteArray name(Index i) const;
    const Item& item(Index i) const { return m_item[i]; }
    // Another name of a file met before: listed, not summed.
    bool countedElsewhere(Index i) const { return m_countedElsewhere[i]; }
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

    std::vector<Index> m_parent;
    std::vector<std::uint32_t> m_nameAt;  // into m_names; the name ends where the next begins
    std::vector<Item> m_item;
    std::vector<Index> m_folderNo;        // kNone for a file
    std::vector<bool> m_countedElsewhere;
    QByteArray m_names;
    // Per folder number:
    std::vector<Index> m_folderEntry;
    std::vector<Sums> m_sums;
    std::vector<std::uint32_t> m_childrenAt; // into m_children, one past the end per folder + 1
    std::vector<Index> m_children;
    std::vector<std::uint32_t> m_rowInParent;
};
