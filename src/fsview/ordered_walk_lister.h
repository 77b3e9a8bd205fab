#pragma once

#include "fsview/directory_fd_cache.h"
#include "fsview/ordered_walk.h"
#include "fsview/scan_directory.h"

#include <sys/stat.h>
#include <sys/types.h>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A subdirectory a listing found: what opens it, and its own inode.
struct FoundSubdirectory {
    ScanDirectoryPtr dir;
    OwnInode own;
};

// Reads one directory at a time for one worker of an OrderedWalk: lists it,
// stats the entries it has to, and sorts what it found. Keeps its own small
// set of open directories, so a subdirectory usually opens relative to its
// parent and no path is ever built.
class OrderedWalkLister {
public:
    // What the walk's listers count together.
    struct Tallies {
        std::atomic<std::uint64_t>& skipped;   // entries that could not be read
        std::atomic<std::uint64_t>& loopsBack; // folders not entered: each is one above it
        std::atomic<int>& failure;             // errno of a shortage of descriptors
    };

    OrderedWalkLister(int rootFd, dev_t rootDevice, std::size_t cachedFds,
                      const OrderedWalk::Options& options, const std::atomic<bool>& stop, const Tallies& tallies);

    enum class Outcome {
        Listed,  // out holds it (readable or not)
        LeftOut, // found by its entry alone, it is a mount or one of the folders above it: not walked
        Stopped, // see list()
    };
    // Fills out's files and subdirectories (and readable) and subdirs with
    // what opens each subdirectory, in the same order as out.subdirectories.
    // Stopped before the end (out is then incomplete): by the walk's stop
    // flag, or by interrupted, which is asked every few entries when given,
    // or because the process ran out of descriptors (failure then holds the
    // errno: the walk cannot be complete).
    Outcome list(const ScanDirectoryPtr& dir, WalkedDirectory& out, std::vector<FoundSubdirectory>& subdirs,
                 const std::function<bool()>& interrupted = {});

private:
    struct Found {
        QByteArray name;
        dev_t device;
        ino_t inode;
        OwnInode own;
    };
    enum class Read { Done, Failed, Stopped };
    // What the directory opened turned out to be, and whether it is listed.
    struct OpenedAs {
        Outcome outcome = Outcome::Listed;
        bool readable = false;
        dev_t device = 0;
        ino_t inode = 0;
    };

    Read readEntries(int fd, WalkedDirectory& out);
    int openListed(const ScanDirectory& dir, bool& sameMount);
    static bool isListed(int fd, const ScanDirectory& dir);
    OpenedAs checked(int fd, const ScanDirectory& dir);
    OpenedAs acrossMount(int fd, const ScanDirectory& dir);
    Outcome notListed(int fd, bool leftOut, Read read, WalkedDirectory& out, std::vector<FoundSubdirectory>& subdirs);
    void addEntry(int fd, const char* name, std::size_t length, unsigned char type, std::uint64_t inode,
                  WalkedDirectory& out);
    void addFile(int fd, const char* name, std::size_t length, WalkedDirectory& out);
    void pushFile(const char* name, std::size_t length, const struct statx* sx,
                  WalkedDirectory& out);
    void count(const struct statx& sx, WalkedDirectory& out);
    void addSubdirectory(const struct statx& sx, const char* name, std::size_t length, WalkedDirectory& out);
    bool loopsBack(const struct statx& sx) const;
    bool passes(const char* name, std::size_t length) const;
    bool stopAsked();
    void sortFound(const ScanDirectoryPtr& dir, WalkedDirectory& out,
                   std::vector<FoundSubdirectory>& subdirs);
    void unreadable(WalkedDirectory& out, std::vector<FoundSubdirectory>& subdirs);

    dev_t m_rootDevice;
    const OrderedWalk::Options& m_options;
    const std::atomic<bool>& m_stop;
    std::atomic<std::uint64_t>& m_skipped;
    std::atomic<std::uint64_t>& m_loopsBack;
    std::atomic<int>& m_failure;
    DirectoryFdCache m_fds;
    std::unique_ptr<char[]> m_buffer;
    std::vector<Found> m_found; // subdirectories of the directory being read
    const ScanDirectory* m_listing = nullptr; // that directory, during list() only
    std::vector<LinkedFile> m_linked; // its files with several names, maybe twice
    // Subdirectories are known by their entries, not statted where listed:
    // every one but the start is checked as such when it is opened.
    bool m_byEntry = false;
    // No file is handed out nor recorded: each is only counted.
    bool m_sumsOnly = false;
    std::uint64_t m_dotInode = 0; // what the entry "." of the directory being read says
    unsigned m_sinceCheck = 0;
    const std::function<bool()>* m_interrupted = nullptr; // during list() only
};
