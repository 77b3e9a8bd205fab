#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <optional>
#include <vector>

// One file (any entry that is not a directory) as a walk saw it.
struct WalkedFile {
    QByteArray name;               // the entry's name as stored (bytes)
    bool statted = false;          // false: it vanished or could not be read before its stat
    std::uint64_t size = 0;        // st_size
    std::uint32_t uid = 0;
    std::int64_t mtime = 0;        // seconds since the epoch
    std::uint32_t mtimeNsec = 0;
    std::int64_t ctime = 0;        // status change, seconds since the epoch
    std::uint32_t ctimeNsec = 0;
    std::int64_t atime = 0;
    std::optional<std::int64_t> btime; // birth time, where the file system records it
    std::uint64_t inode = 0;
    std::uint32_t links = 1;
    std::uint32_t gid = 0;
    std::uint32_t mode = 0;        // st_mode: type and permissions
    std::uint64_t allocated = 0;   // bytes of the blocks it takes (st_blocks * 512)
    std::uint64_t device = 0;
};

// What a stat of a directory's own inode tells, taken where its parent was
// listed (the start's where the walk opened it), so it is known even where
// the directory itself cannot be read.
struct OwnInode {
    std::uint64_t size = 0;      // st_size
    std::uint64_t allocated = 0; // bytes of the blocks it takes
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::uint32_t mode = 0;
    std::int64_t mtime = 0;
};

// A subdirectory on another file system, which the walk leaves out.
struct MountLeftOut {
    QByteArray name;
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    OwnInode own;
};

// A file with more than one name: sums across directories count it once.
struct LinkedFile {
    std::uint64_t inode = 0;
    std::uint64_t size = 0;      // apparent bytes
    std::uint64_t allocated = 0; // bytes of the blocks it takes
    std::uint32_t uid = 0;
};

// Allocated bytes of a directory's files with one name, per owner, and how many they are.
struct OwnerBytes {
    std::uint32_t uid = 0;
    std::uint64_t allocated = 0;
    std::uint64_t files = 0;
};

// One directory of the walk: its own files and its sub-directories.
struct WalkedDirectory {
    QByteArray name;                    // its name in its parent; empty for the start
    int depth = 0;                      // 0 for the start, 1 for its subdirectories, ...
    QList<WalkedFile> files;            // passing both filters, in case-insensitive name order
    QList<QByteArray> subdirectories;   // names, in case-insensitive name order (same file system, no links)
    bool readable = true;               // false: it could not be opened or read (files and subdirectories empty)
    bool cut = false;                   // the listing stopped past Options::filesEnough files
    std::uint64_t device = 0;           // the directory's own identity, as it was listed (0 when unreadable)
    std::uint64_t inode = 0;
    std::uint64_t fileCount = 0;        // files (every entry but directories) listed, whatever the filters
    std::uint64_t filteredOut = 0;      // files that passed the name filter but not the file filter
    // Apparent size of the files passing the name filter, kept or not, each
    // file once however many names it has here.
    std::uint64_t fileBytes = 0;
    // Those of them with more than one name, once each (their bytes are in
    // fileBytes too), for sums over several directories.
    std::vector<LinkedFile> linked;
    // Allocated bytes of the other files passing the name filter, per owner.
    std::vector<OwnerBytes> ownerBytes;
    // The directory's own inode, for sums that count directories as du does.
    OwnInode own;
    // Mount points found in it, in the order listed.
    std::vector<MountLeftOut> mountsLeftOut;
    QByteArray record; // what Options::recordFile wrote of its files, in the order listed
};

// A walk that hands out directories in depth-first pre-order on the calling
// thread (a directory, then the whole subtree of each sub-directory in name
// order), so rows can be written in that order, while worker threads, and
// the calling thread whenever it would wait, list and stat directories
// ahead of it. Never follows symbolic links, never
// leaves the root's file system, recurses nowhere; memory is bounded by the
// look-ahead, not by the tree. A folder that is one of its own ancestors
// (bind-mounted below itself) is entered once only, as du counts it.
class OrderedWalk {
public:
    struct Options {
        // Threads that list, the caller's included (it lists while it would
        // wait); 0: one per core. 1 walks on the caller's thread alone.
        int threads = 0;
        // Files whose name fails the filter are neither statted nor handed out.
        // It runs on the worker threads, several at once: it must be thread-safe.
        std::function<bool(const char* name, std::size_t length)> nameFilter;
        // Files the stat shows are not wanted are counted, not handed out.
        // Runs on the worker threads, several at once: it must be thread-safe.
        std::function<bool(const WalkedFile& file)> fileFilter;
        // Writes what a report keeps of each file passing the name filter
        // into its directory's record, on the listing thread, before the
        // file filter: a report that only passes files on (an export) needs
        // no WalkedFile of each handed out, nor their sorting. Runs on the
        // worker threads, several at once: it must be thread-safe.
        std::function<void(const WalkedFile& file, QByteArrayView name, QByteArray& record)> recordFile;
        // Whether a directory's own inode (WalkedDirectory::own) and the
        // mount points it holds (mountsLeftOut) are wanted. Without them a
        // subdirectory is not statted where it is listed: it is known by its
        // entry's inode, opened without crossing a mount and checked by its
        // own "." entry, and one on another file system is left out, like
        // du -x, where it would have been opened.
        bool subdirectoryInodes = true;
        std::size_t lookahead = 256; // directories listed ahead of the reader at most
        // Once a directory holds more files to hand out than this, its
        // listing stops there (WalkedDirectory::cut): a reader that ends at a
        // row limit needs no more, and a folder of millions of names is not
        // held whole.
        std::size_t filesEnough = std::numeric_limits<std::size_t>::max();

        // For walks that want each directory's sums only: no file is handed
        // to the reader's thread.
        static Options sumsOnly(int threads = 0) {
            Options options;
            options.threads = threads;
            options.fileFilter = noFiles;
            return options;
        }
        // The file filter of sumsOnly: the walk knows it, and makes no
        // WalkedFile for a file no one will see.
        static bool noFiles(const WalkedFile&) { return false; }
    };

    // Walks the directory root names; root alone may be a symbolic link.
    OrderedWalk(const QByteArray& root, Options options);
    // Walks the open directory startFd, which the walk takes over.
    OrderedWalk(int startFd, Options options);
    ~OrderedWalk();
    OrderedWalk(const OrderedWalk&) = delete;
    OrderedWalk& operator=(const OrderedWalk&) = delete;

    // The next directory in pre-order; nothing at the end or once cancel is
    // set. Lists or waits on the calling thread meanwhile, calling poll about
    // every 20 ms.
    std::optional<WalkedDirectory> next(const std::atomic<bool>& cancel, const std::function<void()>& poll = {});

    // Entries that could not be read so far.
    std::uint64_t skipped() const;
    // Folders left out so far because each is one of the folders above it
    // (a folder bind-mounted into its own subtree): entered once only.
    std::uint64_t loopsBack() const;
    // The errno (EMFILE, ENFILE) of a shortage of descriptors that ended the
    // walk early even after waiting for its own to be let go; 0 otherwise.
    // Such a walk is incomplete: its results must not pass for a listing.
    int failure() const;
    // The same in words for a message; empty when the walk did not fail.
    QString failureText() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

// Keeps each file of directory.linked once (by inode) and adds their bytes
// to its fileBytes: a file with several names in one directory counts once.
void countLinkedOnce(WalkedDirectory& directory);

// Adds a file with one name, and its allocated bytes, to its owner's in owners.
void addOwnerBytes(std::vector<OwnerBytes>& owners, std::uint32_t uid, std::uint64_t bytes);

// Case-insensitive name order of two entry names, as every listing uses:
// names compared case-folded (non-ASCII letters too, where the name is
// UTF-8), ties broken by the raw bytes so the order is total.
bool lessByNameCaseless(const QByteArray& a, const QByteArray& b);
