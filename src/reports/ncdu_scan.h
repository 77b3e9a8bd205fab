#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// A scan read from a file in ncdu's export format (what ncdu -o, gdu -o and
// /EXPORT= write): every entry of the tree in the file's pre-order, the
// start first, each with its own inode's figures. Entries sit in one array
// and their names in one block of bytes, so a tree of millions of entries
// costs two allocations, not millions. A directory's subtree is the entries
// from it up to its end.
class NcduScan {
public:
    enum class Excluded : std::uint8_t { None, Pattern, OtherFileSystem, KernelFileSystem, FromLink, Other };

    struct Entry {
        std::uint64_t apparent = 0;  // asize
        std::uint64_t allocated = 0; // dsize
        std::uint64_t device = 0;    // the parent's where the file does not say
        std::uint64_t inode = 0;
        std::int64_t mtime = 0;
        std::uint64_t nameOffset = 0;
        std::uint32_t nameLength = 0;
        std::uint32_t uid = 0;
        std::uint32_t gid = 0;
        std::uint32_t mode = 0;
        std::uint32_t links = 0;     // nlink; 0 where the file does not say
        std::uint32_t end = 0;       // index past its subtree: its own index + 1 for a file
        bool directory = false;
        bool hardLinked = false;     // hlnkc: counted once by device and inode
        bool notRegular = false;
        bool readError = false;
        bool timed = false;          // mtime given (ncdu writes it only with -e)
        bool owned = false;          // uid given (likewise)
        Excluded excluded = Excluded::None;
    };

    // Reads path; throws JsonCursor::Error with the line and column of what
    // is wrong, or with line 0 where the file cannot be opened.
    static NcduScan read(const QString& path);

    std::size_t size() const { return m_entries.size(); }
    const Entry& entry(std::size_t index) const { return m_entries[index]; }
    QByteArrayView name(std::size_t index) const;
    // The entries right inside a directory, in the file's order.
    std::vector<std::size_t> children(std::size_t index) const;

    // What du -sb and du -sB1 say of the tree: every entry's own bytes, a
    // file with several names (hlnkc) once.
    std::uint64_t apparentBytes() const;
    std::uint64_t allocatedBytes() const;

    // Whether every entry the scan looked at (not one it left out or could
    // not read) has its modification time, or its owner: a scan written
    // without them cannot say how old a file is or whose it is.
    bool recordsTimes() const;
    bool recordsOwners() const;

private:
    friend class NcduParser;

    std::vector<Entry> m_entries;
    std::string m_names;
};
