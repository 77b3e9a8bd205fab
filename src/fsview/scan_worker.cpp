#include "fsview/dirent_records.h"
#include "fsview/scan_worker.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Large enough that most directories come in one system call.
// Entries visited between looks at the cancel flag: a huge directory still
// stops within a few milliseconds.
constexpr unsigned checkEvery = 256;

} // namespace

ScanWorker::ScanWorker(int index, const ScanWalk& walk, std::size_t cachedFds)
    : m_index(index), m_walk(walk), m_fds(walk.rootFd, cachedFds),
      m_buffer(new char[DirentRecords::kBufferSize]) {}

void ScanWorker::run() {
    while (ScanDirectoryPtr dir = m_walk.queue.pop(m_index)) {
        if (cancelled())
            break;
        readDirectory(dir);
    }
}

bool ScanWorker::cancelled() {
    if (!m_walk.cancel.load(std::memory_order_relaxed))
        return false;
    m_walk.queue.stop();
    return true;
}

void ScanWorker::readDirectory(const ScanDirectoryPtr& dir) {
    const int fd = m_fds.open(*dir);
    if (fd < 0 || !verified(fd, *dir)) {
        if (fd >= 0)
            ::close(fd);
        ++m_totals.skipped;
        return;
    }
    ++m_totals.directories;
    if (!readEntries(fd, dir) || m_found.empty()) {
        m_found.clear();
        ::close(fd);
        return;
    }
    m_walk.queue.push(m_index, m_found);
    m_fds.keep(dir, fd);
}

// The directory opened is the one listed (nothing was renamed or mounted
// into its place meanwhile); the root is visited here, from its own stat.
bool ScanWorker::verified(int fd, const ScanDirectory& dir) {
    struct stat st {};
    if (::fstat(fd, &st) != 0 || st.st_dev != dir.device || st.st_ino != dir.inode)
        return false;
    if (!dir.parent) {
        ++m_totals.entries;
        m_walk.visit(m_index, st);
    }
    return true;
}

// False when cancelled before the end of the directory.
bool ScanWorker::readEntries(int fd, const ScanDirectoryPtr& dir) {
    char* const buffer = m_buffer.get();
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer, DirentRecords::kBufferSize);
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            ++m_totals.skipped;
            return true;
        }
        for (long offset = 0; offset < got;) {
            std::uint16_t length = 0;
            std::memcpy(&length, buffer + offset + offsetof(DirentRecords::Head, reclen), sizeof length);
            const char* name = buffer + offset + DirentRecords::kNameOffset;
            offset += length;
            if (DirentRecords::isDotOrDotDot(name))
                continue;
            if (++m_sinceCheck % checkEvery == 0 && cancelled())
                return false;
            visitEntry(fd, dir, name);
        }
    }
}

void ScanWorker::visitEntry(int fd, const ScanDirectoryPtr& dir, const char* name) {
    struct stat st {};
    if (::fstatat(fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0) {
        ++m_totals.skipped; // gone since the listing, or not ours to see
        return;
    }
    // Like du -x: another file system stays out, its mount point included.
    if (st.st_dev != m_walk.rootDevice)
        return;
    ++m_totals.entries;
    m_walk.visit(m_index, st);
    if (S_ISDIR(st.st_mode)) {
        m_found.push_back(
            std::make_shared<const ScanDirectory>(ScanDirectory{dir, name, st.st_dev, st.st_ino}));
    }
}
