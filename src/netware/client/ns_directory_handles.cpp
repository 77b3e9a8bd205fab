#include "netware/client/ns_directory_handles.h"

#include "fsview/ordered_walk.h"
#include "fsview/wildcard_pattern.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace {

// A scan's listing: read once, at the scan's first call.
using Listing = std::vector<QByteArray>;

bool isDirectory(int dirFd, const dirent* e) {
    if (e->d_type != DT_UNKNOWN)
        return e->d_type == DT_DIR;
    struct stat st {};
    return ::fstatat(dirFd, e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(st.st_mode);
}

Listing readListing(int dirFd, bool directories, const QString& pattern) {
    // A directory stream of its own, so the handle's descriptor stays put.
    const int fd = ::openat(dirFd, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return {};
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return {};
    }
    const WildcardPattern wildcard(pattern);
    Listing found;
    while (const dirent* e = ::readdir(dir)) {
        const char* n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        if (isDirectory(fd, e) != directories)
            continue;
        const QByteArray name(n);
        if (!wildcard.matches(name))
            continue;
        found.push_back(name);
    }
    ::closedir(dir);
    // The order every listing has, walks included.
    std::sort(found.begin(), found.end(), lessByNameCaseless);
    return found;
}

// Whether the entry is still there; its status when it is.
bool statEntry(int dirFd, const QByteArray& name, NsDirectoryHandles::EntryStatus& status) {
    struct statx sx {};
    if (::statx(dirFd, name.constData(), AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT,
                STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return false;
    status.directory = S_ISDIR(sx.stx_mode);
    status.size = sx.stx_size;
    status.uid = sx.stx_uid;
    status.hasBirth = (sx.stx_mask & STATX_BTIME) != 0;
    status.birth = status.hasBirth ? sx.stx_btime.tv_sec : 0;
    status.modified = sx.stx_mtime.tv_sec;
    status.accessed = sx.stx_atime.tv_sec;
    return true;
}

} // namespace

struct NsDirectoryHandles::Handle {
    int fd = -1;
    QString volumePath;
    std::uint32_t volumeNumber = 0;
    std::uint32_t directoryNumber = 0;
    std::map<std::pair<std::uint16_t, QString>, Listing> listings;

    ~Handle() {
        if (fd >= 0)
            ::close(fd);
    }
};

NsDirectoryHandles::NsDirectoryHandles() = default;
NsDirectoryHandles::~NsDirectoryHandles() = default;

NWCCODE NsDirectoryHandles::allocate(const QByteArray& localPath, const QString& volumePath,
                                     std::uint32_t volumeNumber, NWDIR_HANDLE& handle) {
    handle = 0;
    int free = 1;
    while (free <= kMaxHandles && m_handles[free])
        ++free;
    if (free > kMaxHandles)
        return nw::NO_MORE_DIRECTORY_HANDLES;
    const int fd = ::open(localPath.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return nw::INVALID_PATH;
    auto h = std::make_unique<Handle>();
    h->fd = fd;
    h->volumePath = volumePath;
    h->volumeNumber = volumeNumber;
    struct stat st {};
    if (::fstat(fd, &st) == 0)
        h->directoryNumber = std::uint32_t(st.st_ino);
    m_handles[free] = std::move(h);
    handle = NWDIR_HANDLE(free);
    return nw::SUCCESSFUL;
}

NsDirectoryHandles::Handle* NsDirectoryHandles::find(NWDIR_HANDLE handle) const {
    return handle == 0 ? nullptr : m_handles[handle].get();
}

NWCCODE NsDirectoryHandles::release(NWDIR_HANDLE handle) {
    if (!find(handle))
        return nw::BAD_DIRECTORY_HANDLE;
    m_handles[handle].reset();
    return nw::SUCCESSFUL;
}

void NsDirectoryHandles::clear() {
    for (auto& h : m_handles)
        h.reset();
}

const QString* NsDirectoryHandles::volumePath(NWDIR_HANDLE handle) const {
    const Handle* h = find(handle);
    return h ? &h->volumePath : nullptr;
}

NWCCODE NsDirectoryHandles::next(NWDIR_HANDLE handle, std::uint16_t searchAttributes, const QString& pattern,
                                 SEARCH_SEQUENCE& sequence, QByteArray& name, EntryStatus& status) {
    name.clear();
    status = EntryStatus{};
    Handle* h = find(handle);
    if (!h)
        return nw::BAD_DIRECTORY_HANDLE;
    const bool directories = (searchAttributes & nw::SA_SUBDIR_ONLY) != 0;
    const auto key = std::make_pair(std::uint16_t(searchAttributes), pattern);
    auto it = h->listings.find(key);
    if (it == h->listings.end())
        it = h->listings.emplace(key, readListing(h->fd, directories, pattern)).first;
    const Listing& listing = it->second;
    if (sequence.searchDirNumber < -1)
        return nw::NO_MORE_ENTRIES;
    for (std::size_t i = std::size_t(std::int64_t(sequence.searchDirNumber) + 1); i < listing.size(); ++i) {
        if (!statEntry(h->fd, listing[i], status))
            continue;
        sequence.volumeNumber = h->volumeNumber;
        sequence.directoryNumber = h->directoryNumber;
        sequence.searchDirNumber = std::int32_t(i);
        name = listing[i];
        return nw::SUCCESSFUL;
    }
    status = EntryStatus{};
    return nw::NO_MORE_ENTRIES;
}
