#include "fsview/dirent_records.h"
#include "fsview/ordered_walk_lister.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <cstddef>
#include <cstring>
#include <string>

namespace {

// Entries read between looks at the stop flag: a huge directory still stops
// within a few milliseconds. The caller's own question (it polls for events)
// is asked more often.
constexpr unsigned checkEvery = 256;
constexpr unsigned askEvery = 16;
// Never follow the entry, never trigger an automount on the way.
constexpr int statFlags = AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT | AT_STATX_SYNC_AS_STAT;
constexpr unsigned statMask = STATX_BASIC_STATS | STATX_BTIME;

dev_t deviceOf(const struct statx& sx) {
    return makedev(sx.stx_dev_major, sx.stx_dev_minor);
}

std::uint64_t allocatedBytes(const struct statx& sx) {
    // stx_blocks counts 512-byte units whatever the file system's block size.
    return std::uint64_t(sx.stx_blocks) * 512;
}

OwnInode ownInodeOf(const struct statx& sx) {
    return {sx.stx_size, allocatedBytes(sx), sx.stx_uid, sx.stx_gid, sx.stx_mode, sx.stx_mtime.tv_sec};
}

void fillFile(WalkedFile& file, const struct statx& sx) {
    file.statted = true;
    file.inode = sx.stx_ino;
    file.links = sx.stx_nlink;
    file.size = sx.stx_size;
    file.uid = sx.stx_uid;
    file.mtime = sx.stx_mtime.tv_sec;
    file.mtimeNsec = sx.stx_mtime.tv_nsec;
    file.ctime = sx.stx_ctime.tv_sec;
    file.ctimeNsec = sx.stx_ctime.tv_nsec;
    file.atime = sx.stx_atime.tv_sec;
    if (sx.stx_mask & STATX_BTIME)
        file.btime = sx.stx_btime.tv_sec;
    file.gid = sx.stx_gid;
    file.mode = sx.stx_mode;
    file.allocated = allocatedBytes(sx);
    file.device = deviceOf(sx);
}

// Whether only a mount leads to another device below fd: not so on file
// systems whose subvolumes have devices of their own (btrfs, bcachefs),
// where a folder found by its entry alone could not be told from one.
bool devicesFollowMounts(int fd) {
    constexpr long kBtrfs = 0x9123683e;
    constexpr long kBcachefs = 0xca451a4e;
    struct statfs fs {};
    return ::fstatfs(fd, &fs) == 0 && long(fs.f_type) != kBtrfs && long(fs.f_type) != kBcachefs;
}

bool isNoFiles(const std::function<bool(const WalkedFile&)>& filter) {
    const auto* target = filter.target<bool (*)(const WalkedFile&)>();
    return target && *target == &OrderedWalk::Options::noFiles;
}

bool fileLess(const WalkedFile& a, const WalkedFile& b) {
    return lessByNameCaseless(a.name, b.name);
}

} // namespace

OrderedWalkLister::OrderedWalkLister(int rootFd, dev_t rootDevice, std::size_t cachedFds,
                                     const OrderedWalk::Options& options, const std::atomic<bool>& stop,
                                     const Tallies& tallies)
    : m_rootDevice(rootDevice), m_options(options), m_stop(stop), m_skipped(tallies.skipped),
      m_loopsBack(tallies.loopsBack), m_failure(tallies.failure), m_fds(rootFd, cachedFds),
      m_buffer(new char[DirentRecords::kBufferSize]),
      m_byEntry(!options.subdirectoryInodes && devicesFollowMounts(rootFd)),
      m_sumsOnly(!options.recordFile && isNoFiles(options.fileFilter)) {}

// Running out of descriptors says nothing about the directory: the walk's
// own are let go (this lister's at once, the others' as they finish) and the
// open tried again. Still none after that, the walk fails rather than
// passing the directory off as unreadable.
int OrderedWalkLister::openListed(const ScanDirectory& dir, bool& sameMount) {
    constexpr int kAttempts = 12; // about half a second of waiting in all
    for (int attempt = 0;; ++attempt) {
        const int fd = m_fds.open(dir, sameMount);
        if (fd >= 0 || (errno != EMFILE && errno != ENFILE))
            return fd;
        const int error = errno;
        m_fds.clear();
        if (attempt == kAttempts || m_stop.load()) {
            int none = 0;
            m_failure.compare_exchange_strong(none, error);
            return -1;
        }
        if (attempt > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(1 << std::min(attempt, 6)));
    }
}

OrderedWalkLister::Outcome OrderedWalkLister::list(const ScanDirectoryPtr& dir, WalkedDirectory& out,
                                                   std::vector<FoundSubdirectory>& subdirs,
                                                   const std::function<bool()>& interrupted) {
    m_interrupted = interrupted ? &interrupted : nullptr;
    m_listing = dir.get();
    subdirs.clear();
    m_found.clear();
    m_linked.clear();
    bool sameMount = false;
    const int fd = openListed(*dir, sameMount);
    if (fd < 0 && m_failure.load() != 0)
        return Outcome::Stopped;
    // The directory opened must be the one listed: not one renamed or
    // mounted into its place since. Opened within its parent's mount, its
    // own entry "." tells its inode without a stat of its own.
    OpenedAs who{Outcome::Listed, fd >= 0, dir->device, dir->inode};
    if (fd >= 0 && !sameMount)
        who = checked(fd, *dir);
    m_dotInode = 0;
    const Read read = who.readable && who.outcome == Outcome::Listed ? readEntries(fd, out) : Read::Failed;
    if (read == Read::Done && sameMount && m_dotInode != dir->inode)
        who = checked(fd, *dir);
    if (who.outcome == Outcome::LeftOut || read != Read::Done || !who.readable)
        return notListed(fd, who.outcome == Outcome::LeftOut, read, out, subdirs);
    out.device = who.device;
    out.inode = who.inode;
    out.linked = m_linked;
    countLinkedOnce(out);
    std::sort(out.files.begin(), out.files.end(), fileLess);
    sortFound(dir, out, subdirs);
    // Kept open only where subdirectories will be opened from it.
    if (subdirs.empty())
        ::close(fd);
    else
        m_fds.keep(dir, fd);
    return Outcome::Listed;
}

// Who the open directory is, by a stat of its own: the one listed or not,
// or for one known by its entry alone, whatever it now is.
OrderedWalkLister::OpenedAs OrderedWalkLister::checked(int fd, const ScanDirectory& dir) {
    if (m_byEntry && dir.parent)
        return acrossMount(fd, dir);
    return {Outcome::Listed, isListed(fd, dir), dir.device, dir.inode};
}

// The end of a listing that gives no directory: one left out, one stopped
// part way, or one that could not be read (counted, and handed out empty).
OrderedWalkLister::Outcome OrderedWalkLister::notListed(int fd, bool leftOut, Read read, WalkedDirectory& out,
                                                        std::vector<FoundSubdirectory>& subdirs) {
    if (fd >= 0)
        ::close(fd);
    if (leftOut)
        return Outcome::LeftOut;
    if (read == Read::Stopped)
        return Outcome::Stopped;
    ++m_skipped;
    unreadable(out, subdirs);
    return Outcome::Listed;
}

// A directory known by its entry alone, opened across a mount or without
// "." vouching for it: what a stat where it was listed would have told
// comes from the open directory. One on another file system, or one of the
// folders above it (bind-mounted below itself), is left out; any other is
// listed as what it is now.
OrderedWalkLister::OpenedAs OrderedWalkLister::acrossMount(int fd, const ScanDirectory& dir) {
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH | statFlags, STATX_TYPE | STATX_INO, &sx) != 0)
        return {Outcome::Listed, false, dir.device, dir.inode};
    const dev_t device = deviceOf(sx);
    if (device != m_rootDevice)
        return {Outcome::LeftOut, false, device, ino_t(sx.stx_ino)};
    if (loopsBack(sx)) {
        ++m_loopsBack;
        return {Outcome::LeftOut, false, device, ino_t(sx.stx_ino)};
    }
    return {Outcome::Listed, true, device, ino_t(sx.stx_ino)};
}

bool OrderedWalkLister::isListed(int fd, const ScanDirectory& dir) {
    struct stat st {};
    return ::fstat(fd, &st) == 0 && st.st_dev == dir.device && st.st_ino == dir.inode;
}

void OrderedWalkLister::sortFound(const ScanDirectoryPtr& dir, WalkedDirectory& out,
                                  std::vector<FoundSubdirectory>& subdirs) {
    std::sort(m_found.begin(), m_found.end(),
              [](const Found& a, const Found& b) { return lessByNameCaseless(a.name, b.name); });
    out.subdirectories.reserve(qsizetype(m_found.size()));
    subdirs.reserve(m_found.size());
    for (std::size_t i = 0; i < m_found.size(); ++i) {
        Found& found = m_found[i];
        auto sub = std::make_shared<ScanDirectory>();
        sub->parent = dir;
        sub->name.assign(found.name.constData(), std::size_t(found.name.size()));
        sub->device = found.device;
        sub->inode = found.inode;
        subdirs.push_back({std::move(sub), found.own});
        out.subdirectories.push_back(std::move(found.name));
    }
    m_found.clear();
}

void OrderedWalkLister::unreadable(WalkedDirectory& out, std::vector<FoundSubdirectory>& subdirs) {
    out.readable = false;
    out.cut = false;
    out.files.clear();
    out.subdirectories.clear();
    out.linked.clear();
    out.ownerBytes.clear();
    out.mountsLeftOut.clear();
    out.record.clear();
    out.fileBytes = 0;
    out.fileCount = 0;
    out.filteredOut = 0;
    subdirs.clear();
    m_found.clear();
}

OrderedWalkLister::Read OrderedWalkLister::readEntries(int fd, WalkedDirectory& out) {
    char* const buffer = m_buffer.get();
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer, DirentRecords::kBufferSize);
        if (got == 0)
            return Read::Done;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            m_found.clear();
            return Read::Failed;
        }
        for (long offset = 0; offset < got;) {
            DirentRecords::Head head{};
            std::memcpy(&head, buffer + offset, sizeof head);
            const char* name = buffer + offset + DirentRecords::kNameOffset;
            offset += head.reclen;
            if (DirentRecords::isDotOrDotDot(name)) {
                if (name[1] == '\0')
                    m_dotInode = head.ino;
                continue;
            }
            if (stopAsked())
                return Read::Stopped;
            addEntry(fd, name, std::strlen(name), head.type, head.ino, out);
            if (std::size_t(out.files.size()) > m_options.filesEnough) {
                out.cut = true;
                return Read::Done;
            }
        }
    }
}

void OrderedWalkLister::addEntry(int fd, const char* name, std::size_t length, unsigned char type,
                                 std::uint64_t inode, WalkedDirectory& out) {
    if (type != DT_DIR && type != DT_UNKNOWN) {
        // Filtered before the stat: a name that does not pass costs nothing more.
        if (passes(name, length))
            addFile(fd, name, length, out);
        return;
    }
    if (type == DT_DIR && m_byEntry) {
        m_found.push_back(Found{QByteArray(name, qsizetype(length)), m_listing->device, ino_t(inode), {}});
        return;
    }
    struct statx sx {};
    if (type == DT_DIR) {
        if (::statx(fd, name, statFlags, statMask, &sx) != 0) {
            ++m_skipped; // gone since the listing: there is nothing left to open
            return;
        }
        if (S_ISDIR(sx.stx_mode))
            addSubdirectory(sx, name, length, out);
        else if (passes(name, length)) // replaced by something else since the listing
            pushFile(name, length, &sx, out);
        return;
    }
    // Only a stat tells what it is. The filter comes first all the same, so
    // a file is looked at after its name, as every other file is.
    const bool wanted = passes(name, length);
    if (::statx(fd, name, statFlags, statMask, &sx) != 0) {
        ++m_skipped;
        if (wanted)
            pushFile(name, length, nullptr, out);
    } else if (S_ISDIR(sx.stx_mode)) {
        addSubdirectory(sx, name, length, out);
    } else if (wanted) {
        pushFile(name, length, &sx, out);
    }
}

bool OrderedWalkLister::stopAsked() {
    ++m_sinceCheck;
    if (m_interrupted && m_sinceCheck % askEvery == 0 && (*m_interrupted)())
        return true;
    return m_sinceCheck % checkEvery == 0 && m_stop.load(std::memory_order_relaxed);
}

bool OrderedWalkLister::passes(const char* name, std::size_t length) const {
    return !m_options.nameFilter || m_options.nameFilter(name, length);
}

void OrderedWalkLister::addFile(int fd, const char* name, std::size_t length,
                                WalkedDirectory& out) {
    struct statx sx {};
    if (::statx(fd, name, statFlags, statMask, &sx) == 0) {
        pushFile(name, length, &sx, out);
        return;
    }
    ++m_skipped; // vanished since the listing, or not ours to see
    pushFile(name, length, nullptr, out);
}

// sx null: the file could not be statted.
void OrderedWalkLister::pushFile(const char* name, std::size_t length, const struct statx* sx,
                                 WalkedDirectory& out) {
    ++out.fileCount;
    if (sx && m_sumsOnly) { // counted, never seen: no WalkedFile to make
        count(*sx, out);
        ++out.filteredOut;
        return;
    }
    WalkedFile file;
    if (sx) {
        fillFile(file, *sx);
        count(*sx, out);
    }
    if (m_options.recordFile)
        m_options.recordFile(file, QByteArrayView(name, qsizetype(length)), out.record);
    // Deciding here what the stat tells keeps unwanted files off the reader's thread.
    if (sx && m_options.fileFilter && !m_options.fileFilter(file)) {
        ++out.filteredOut;
        return;
    }
    file.name = QByteArray(name, qsizetype(length));
    out.files.push_back(std::move(file));
}

// The file's bytes in the directory's sums; one with several names waits
// until the listing ends, to be counted once.
void OrderedWalkLister::count(const struct statx& sx, WalkedDirectory& out) {
    if (sx.stx_nlink > 1) {
        m_linked.push_back({sx.stx_ino, sx.stx_size, allocatedBytes(sx), sx.stx_uid});
        return;
    }
    out.fileBytes += sx.stx_size;
    addOwnerBytes(out.ownerBytes, sx.stx_uid, allocatedBytes(sx));
}

void OrderedWalkLister::addSubdirectory(const struct statx& sx, const char* name, std::size_t length,
                                        WalkedDirectory& out) {
    // Like du -x: another file system stays out, its mount point included.
    if (deviceOf(sx) != m_rootDevice) {
        out.mountsLeftOut.push_back({QByteArray(name, qsizetype(length)), deviceOf(sx), sx.stx_ino, ownInodeOf(sx)});
        return;
    }
    if (loopsBack(sx)) {
        ++m_loopsBack;
        return;
    }
    m_found.push_back(Found{QByteArray(name, qsizetype(length)), deviceOf(sx), ino_t(sx.stx_ino), ownInodeOf(sx)});
}

// A folder that is one of those above it, bind-mounted below itself: du
// counts it once, and entering it would walk the same subtree again (and
// again, for a bind of a bind). Only a mount's root can be one, so a deep
// tree is not searched upwards for every folder where the kernel says which
// folders are mount roots.
bool OrderedWalkLister::loopsBack(const struct statx& sx) const {
    const bool told = sx.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT;
    if (told && !(sx.stx_attributes & STATX_ATTR_MOUNT_ROOT))
        return false;
    for (const ScanDirectory* above = m_listing; above; above = above->parent.get()) {
        if (above->device == deviceOf(sx) && above->inode == ino_t(sx.stx_ino))
            return true;
    }
    return false;
}
