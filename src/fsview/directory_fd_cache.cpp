#include "fsview/directory_fd_cache.h"

#include <thread>

#include <algorithm>

#include <sys/resource.h>

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace {

constexpr int readFlags = O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// Directories only passed through need search permission, not read permission.
constexpr int passFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
// How far up from an open directory ".." is tried. Deep enough that workers
// taking turns on the side branches of a deep chain still find one another's
// levels above theirs; opening down from the root instead costs the depth.
constexpr std::size_t maxStepsUp = 256;

// Opens name below fd; fd is closed unless it is keep. errno survives.
int openStep(int fd, const char* name, int keep) {
    const int next = ::openat(fd, name, passFlags);
    const int error = errno;
    if (fd != keep)
        ::close(fd);
    errno = error;
    return next;
}

} // namespace

DirectoryFdCache::DirectoryFdCache(int rootFd, std::size_t capacity)
    : m_rootFd(rootFd), m_capacity(capacity < 1 ? 1 : capacity) {
    m_entries.reserve(m_capacity + 1);
}

DirectoryFdCache::~DirectoryFdCache() {
    for (const Entry& entry : m_entries)
        ::close(entry.fd);
}

int DirectoryFdCache::open(const ScanDirectory& dir, bool& sameMount) {
    sameMount = false;
    if (!dir.parent)
        return ::openat(m_rootFd, ".", readFlags);
    const int parent = parentFd(dir.parent);
    if (parent < 0)
        return -1;
    if (m_openWithinMount) {
        open_how how{};
        how.flags = readFlags;
        how.resolve = RESOLVE_NO_XDEV;
        const int fd = int(::syscall(SYS_openat2, parent, dir.name.c_str(), &how, sizeof how));
        if (fd >= 0) {
            sameMount = true;
            return fd;
        }
        // EXDEV: a mount on its name (a bind of the same file system is
        // entered all the same), opened plainly and checked whole.
        if (errno == ENOSYS || errno == EPERM) // a kernel or a filter without openat2
            m_openWithinMount = false;
        else if (errno != EXDEV)
            return -1;
    }
    return ::openat(parent, dir.name.c_str(), readFlags);
}

void DirectoryFdCache::clear() {
    for (const Entry& entry : m_entries)
        ::close(entry.fd);
    m_entries.clear();
}

void DirectoryFdCache::keep(ScanDirectoryPtr dir, int fd) {
    m_entries.push_back({std::move(dir), fd});
    if (m_entries.size() > m_capacity) {
        ::close(m_entries.front().fd);
        m_entries.erase(m_entries.begin());
    }
}

// A descriptor of dir owned by the cache (or the root's).
int DirectoryFdCache::parentFd(const ScanDirectoryPtr& dir) {
    if (!dir->parent)
        return m_rootFd;
    if (const int fd = touch(dir.get()); fd >= 0)
        return fd;
    const Below below = nearestBelow(dir.get());
    int fd = below.fd >= 0 ? openUp(below, *dir) : -1;
    if (fd < 0)
        fd = openDown(dir.get());
    if (fd >= 0)
        keep(dir, fd);
    return fd;
}

int DirectoryFdCache::find(const ScanDirectory* dir) const {
    for (std::size_t i = m_entries.size(); i-- > 0;) {
        if (m_entries[i].dir.get() == dir)
            return int(i);
    }
    return -1;
}

// The cached descriptor of dir, now the most recently used; -1 if none.
int DirectoryFdCache::touch(const ScanDirectory* dir) {
    const int at = find(dir);
    if (at < 0)
        return -1;
    Entry hit = std::move(m_entries[std::size_t(at)]);
    m_entries.erase(m_entries.begin() + at);
    m_entries.push_back(std::move(hit));
    return m_entries.back().fd;
}

// The open directory closest below dir, within maxStepsUp levels.
DirectoryFdCache::Below DirectoryFdCache::nearestBelow(const ScanDirectory* dir) const {
    Below best;
    for (const Entry& entry : m_entries) {
        std::size_t steps = 1;
        for (const ScanDirectory* at = entry.dir->parent.get(); at && steps <= maxStepsUp;
             at = at->parent.get(), ++steps) {
            if (at != dir)
                continue;
            if (best.fd < 0 || steps < best.steps)
                best = {entry.fd, steps};
            break;
        }
    }
    return best;
}

// Opens dir by name from its nearest open ancestor (the root at worst).
int DirectoryFdCache::openDown(const ScanDirectory* dir) {
    m_path.clear();
    int base = -1;
    for (const ScanDirectory* at = dir; at->parent && base < 0; at = at->parent.get()) {
        m_path.push_back(&at->name);
        const int cached = find(at->parent.get());
        if (cached >= 0)
            base = m_entries[std::size_t(cached)].fd;
    }
    if (base < 0)
        base = m_rootFd;
    int fd = base;
    for (std::size_t i = m_path.size(); i-- > 0 && fd >= 0;)
        fd = openStep(fd, m_path[i]->c_str(), base);
    return fd;
}

// ".." from below; the result must be dir itself (a rename could have moved it).
int DirectoryFdCache::openUp(const Below& below, const ScanDirectory& dir) const {
    int fd = below.fd;
    for (std::size_t i = 0; i < below.steps && fd >= 0; ++i)
        fd = openStep(fd, "..", below.fd);
    if (fd < 0)
        return -1;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && st.st_dev == dir.device && st.st_ino == dir.inode)
        return fd;
    ::close(fd);
    return -1;
}

namespace {
constexpr std::size_t kMostCachedFds = 8;
}

// Each worker has a directory open, up to two more while it opens one by its
// ancestors, and its cache; half the limit stays with the rest of the program.
std::size_t DirectoryFdCache::capacityPerWorker(int threads) {
    rlimit limit{};
    if (::getrlimit(RLIMIT_NOFILE, &limit) != 0 || limit.rlim_cur == RLIM_INFINITY)
        return kMostCachedFds;
    const rlim_t perWorker = limit.rlim_cur / 2 / rlim_t(std::max(threads, 1));
    return std::size_t(std::clamp<rlim_t>(perWorker > 3 ? perWorker - 3 : 1, 1, kMostCachedFds));
}

int DirectoryFdCache::workerCount(int requested) {
    return requested > 0 ? requested : std::max(1, int(std::thread::hardware_concurrency()));
}
