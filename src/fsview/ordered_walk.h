#pragma once

#include <QByteArray>
#include <QList>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

// One file (any entry that is not a directory) as a walk saw it.
struct WalkedFile {
    QByteArray name;               // the entry's name as stored (bytes)
    bool statted = false;          // false: it vanished or could not be read before its stat
    std::uint64_t size = 0;        // st_size
    std::uint32_t uid = 0;
    std::int64_t mtime = 0;        // seconds since the epoch
    std::int64_t atime = 0;
    std::optional<std::int64_t> btime; // birth time, where the file system records it
};

// One directory of the walk: its own files and its sub-directories.
struct WalkedDirectory {
    QByteArray relativePath;            // below the root, components joined by "/"; empty for the root
    QList<WalkedFile> files;            // passing the name filter, in case-insensitive name order
    QList<QByteArray> subdirectories;   // names, in case-insensitive name order (same file system, no links)
    bool readable = true;               // false: it could not be opened or read (files and subdirectories empty)
    std::uint64_t filteredOut = 0;      // files that passed the name filter but not the file filter
    std::uint64_t fileBytes = 0;        // apparent size of the files passing the name filter, kept or not
};

// A walk that hands out directories in depth-first pre-order on the calling
// thread (a directory, then the whole subtree of each sub-directory in name
// order), so rows can be written in that order, while worker threads list
// and stat directories ahead of it. Never follows symbolic links, never
// leaves the root's file system, recurses nowhere; memory is bounded by the
// look-ahead, not by the tree.
class OrderedWalk {
public:
    struct Options {
        int threads = 0;           // listing threads; 0: one per core
        // Files whose name fails the filter are neither statted nor handed out.
        // It runs on the worker threads, several at once: it must be thread-safe.
        std::function<bool(const char* name, std::size_t length)> nameFilter;
        // Files the stat shows are not wanted are counted, not handed out.
        // Runs on the worker threads, several at once: it must be thread-safe.
        std::function<bool(const WalkedFile& file)> fileFilter;
        std::size_t lookahead = 256; // directories listed ahead of the reader at most
    };

    OrderedWalk(QByteArray root, Options options);
    ~OrderedWalk();
    OrderedWalk(const OrderedWalk&) = delete;
    OrderedWalk& operator=(const OrderedWalk&) = delete;

    // The next directory in pre-order; nothing at the end or once cancel is
    // set. Waits on the calling thread, calling poll about every 20 ms.
    std::optional<WalkedDirectory> next(const std::atomic<bool>& cancel, const std::function<void()>& poll = {});

    // Entries that could not be read so far.
    std::uint64_t skipped() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// Case-insensitive name order of two entry names, as directory listings use.
bool lessByNameCaseless(const QByteArray& a, const QByteArray& b);
