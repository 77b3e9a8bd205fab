#include "fileops/file_copy.h"

#include <QList>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

namespace {

constexpr char temporaryPrefix[] = ".quarvo-copy-";
constexpr char olderPrefix[] = ".quarvo-move-";
constexpr std::size_t chunk = 1 << 20;
constexpr char accessAcl[] = "system.posix_acl_access";

bool isOneComponent(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

bool isLettersAndDigits(const QByteArray& text) {
    return !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](char c) {
        return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z');
    });
}

bool cancelled(const CopyRequest& request) {
    return request.cancel && request.cancel->load(std::memory_order_relaxed);
}

void report(const CopyRequest& request, off_t done) {
    if (request.progress)
        request.progress(std::uint64_t(done));
}

// A name the copy has in the folder before it is in place, made by this
// process; it goes with this unless forgotten, and only while it still
// names the copy.
class TemporaryName {
public:
    explicit TemporaryName(int folder) : m_folder(folder) {}
    ~TemporaryName() {
        struct stat st {};
        if (!m_name.isEmpty() && ::fstatat(m_folder, m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
            st.st_dev == m_device && st.st_ino == m_inode)
            ::unlinkat(m_folder, m_name.constData(), 0);
    }
    TemporaryName(const TemporaryName&) = delete;
    TemporaryName& operator=(const TemporaryName&) = delete;

    // Gives a fresh random name to make (0 or an errno), again while the
    // name is taken.
    int claim(const std::function<int(const char* name)>& make) {
        for (int attempt = 0;; ++attempt) {
            const QByteArray name = temporaryPrefix + QByteArray::number(::getpid()) + '-' +
                                    QByteArray::number(QRandomGenerator::global()->generate64(), 36);
            const int error = make(name.constData());
            struct stat st {};
            if (error == 0 && ::fstatat(m_folder, name.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
                m_name = name;
                m_device = st.st_dev;
                m_inode = st.st_ino;
            }
            if (error != EEXIST || attempt == 8)
                return error;
        }
    }
    const QByteArray& name() const { return m_name; }
    bool isEmpty() const { return m_name.isEmpty(); }
    void forget() { m_name.clear(); }

private:
    int m_folder;
    QByteArray m_name;
    dev_t m_device = 0;
    ino_t m_inode = 0;
};

int errorOf(int result) {
    return result < 0 ? errno : 0;
}

// The copy, unnamed where the file system allows, else under a temporary name.
int openCopy(int folder, UniqueFd& copy, TemporaryName& temporary) {
    copy.reset(::openat(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600));
    if (copy.valid())
        return 0;
    if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
        return errno;
    return temporary.claim([&](const char* name) {
        copy.reset(::openat(folder, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
        return copy.valid() ? 0 : errno;
    });
}

int writeAll(int fd, const char* data, std::size_t size, off_t at) {
    while (size > 0) {
        const ssize_t put = ::pwrite(fd, data, size, at);
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0)
            return put < 0 ? errno : EIO;
        data += put;
        size -= std::size_t(put);
        at += put;
    }
    return 0;
}

int copyRange(const CopyRequest& request, int copy, off_t from, off_t to, std::vector<char>& buffer) {
    for (off_t at = from; at < to;) {
        if (cancelled(request))
            return ECANCELED;
        const std::size_t want = std::size_t(std::min<off_t>(off_t(buffer.size()), to - at));
        const ssize_t got = ::pread(request.source, buffer.data(), want, at);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return got < 0 ? errno : EIO; // shorter than when it was checked
        if (const int error = writeAll(copy, buffer.data(), std::size_t(got), at))
            return error;
        at += got;
        report(request, at);
    }
    return 0;
}

// The next range of data at or after at, below size: [size, size) when
// only a hole is left, all the rest where holes cannot be found.
int nextData(int fd, off_t at, off_t size, off_t& begin, off_t& end) {
    end = size;
    begin = ::lseek(fd, at, SEEK_DATA);
    if (begin < 0) {
        const int error = errno;
        begin = error == EINVAL ? at : size;
        return error == EINVAL || error == ENXIO ? 0 : error;
    }
    begin = std::min(begin, size);
    const off_t hole = ::lseek(fd, begin, SEEK_HOLE);
    if (hole < 0)
        return errno;
    end = std::min(hole, size);
    return 0;
}

// Only the data, up to the size the caller checked; setting the size last
// keeps a trailing hole.
int copyData(const CopyRequest& request, int copy) {
    const off_t size = request.sourceStat.st_size;
    std::vector<char> buffer(chunk);
    for (off_t at = 0; at < size;) {
        off_t begin = 0;
        off_t end = 0;
        if (const int error = nextData(request.source, at, size, begin, end))
            return error;
        if (end <= at)
            return EIO; // data turned into a hole meanwhile
        if (const int error = copyRange(request, copy, begin, end, buffer))
            return error;
        at = end;
    }
    if (::ftruncate(copy, size) != 0)
        return errno;
    report(request, size);
    return 0;
}

// What get (flistxattr or fgetxattr of a buffer and its size) gives, read
// again while it grows.
int readGrowing(QByteArray& bytes, const std::function<ssize_t(char*, std::size_t)>& get) {
    for (;;) {
        const ssize_t size = get(nullptr, 0);
        if (size < 0)
            return errno;
        bytes.resize(size);
        const ssize_t got = get(bytes.data(), std::size_t(bytes.size()));
        if (got >= 0) {
            bytes.resize(got);
            return 0;
        }
        if (errno != ERANGE)
            return errno;
    }
}

int attributeNames(int fd, QList<QByteArray>& names) {
    QByteArray list;
    const int error = readGrowing(list, [fd](char* buffer, std::size_t size) { return ::flistxattr(fd, buffer, size); });
    if (error != 0)
        return error == EOPNOTSUPP ? 0 : error;
    names = list.split('\0');
    names.removeAll(QByteArray());
    return 0;
}

// The source's extended attributes, either its ACLs or all the others.
// One the copy's file system cannot hold is left out; one gone meanwhile too.
int copyAttributes(int source, int copy, const QList<QByteArray>& names, bool acls) {
    QByteArray value;
    for (const QByteArray& name : names) {
        if (name.startsWith("system.posix_acl_") != acls)
            continue;
        const char* n = name.constData();
        int error = readGrowing(value, [&](char* buffer, std::size_t size) { return ::fgetxattr(source, n, buffer, size); });
        if (error == 0)
            error = errorOf(::fsetxattr(copy, n, value.constData(), std::size_t(value.size()), 0));
        if (error != 0 && error != ENODATA && error != EOPNOTSUPP)
            return error;
    }
    return 0;
}

// A default ACL of the folder gave the copy an access ACL; the source's
// permissions are only its mode when it has none.
int dropInheritedAcl(int copy, const QList<QByteArray>& names) {
    if (names.contains(accessAcl) || ::fremovexattr(copy, accessAcl) == 0)
        return 0;
    return errno == ENODATA || errno == EOPNOTSUPP ? 0 : errno;
}

// Set-user-ID and set-group-ID only for the source's owner and group.
int copyMode(const struct stat& source, int copy) {
    struct stat own {};
    if (::fstat(copy, &own) != 0)
        return errno;
    mode_t mode = source.st_mode & 07777;
    if (own.st_uid != source.st_uid || own.st_gid != source.st_gid)
        mode &= ~mode_t(S_ISUID | S_ISGID);
    return errorOf(::fchmod(copy, mode));
}

// The owner first, as changing it drops set-user-ID bits and file
// capabilities; attributes before the mode, which may forbid writing
// user.* ones; ACLs after it, which would rewrite their mask; the times last.
int copyMetadata(const CopyRequest& request, int copy) {
    const struct stat& source = request.sourceStat;
    if (::geteuid() == 0 && ::fchown(copy, source.st_uid, source.st_gid) != 0)
        return errno;
    QList<QByteArray> names;
    int error = attributeNames(request.source, names);
    if (error == 0)
        error = copyAttributes(request.source, copy, names, false);
    if (error == 0)
        error = dropInheritedAcl(copy, names);
    if (error == 0)
        error = copyMode(source, copy);
    if (error == 0)
        error = copyAttributes(request.source, copy, names, true);
    if (error != 0)
        return error;
    const timespec times[2] = {source.st_atim, source.st_mtim};
    return errorOf(::futimens(copy, times));
}

// On disk, of the checked size, from a source that did not change while
// it was read.
int flushAndCheck(const CopyRequest& request, int copy, struct stat& written) {
    struct stat now {};
    if (::fsync(copy) != 0 || ::fstat(copy, &written) != 0 || ::fstat(request.source, &now) != 0)
        return errno;
    const struct stat& checked = request.sourceStat;
    const bool same = written.st_size == checked.st_size && now.st_size == checked.st_size &&
                      now.st_mtim.tv_sec == checked.st_mtim.tv_sec && now.st_mtim.tv_nsec == checked.st_mtim.tv_nsec;
    return same ? 0 : EIO;
}

int linkUnnamed(int copy, int folder, const char* name) {
    const QByteArray self = "/proc/self/fd/" + QByteArray::number(copy);
    return errorOf(::linkat(AT_FDCWD, self.constData(), folder, name, AT_SYMLINK_FOLLOW));
}

// A link refuses a taken name.
int placeUnnamed(int folder, const QByteArray& target, int copy) {
    return linkUnnamed(copy, folder, target.constData());
}

// A rename that refuses a taken name or, where the file system cannot, a
// link (the temporary name then goes with temporary).
int placeNamed(const CopyRequest& request, TemporaryName& temporary) {
    const int folder = request.destinationFolder;
    const char* from = temporary.name().constData();
    const char* to = request.name.constData();
    if (::renameat2(folder, from, folder, to, RENAME_NOREPLACE) == 0) {
        temporary.forget();
        return 0;
    }
    if (errno != EINVAL)
        return errno;
    return errorOf(::linkat(folder, from, folder, to, 0));
}

// The placed name, while it is still the copy written.
int openPlaced(int folder, const QByteArray& target, const struct stat& written, UniqueFd& placed) {
    placed.reset(::openat(folder, target.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!placed.valid() || ::fstat(placed.get(), &st) != 0)
        return errno;
    return st.st_dev == written.st_dev && st.st_ino == written.st_ino ? 0 : ESTALE;
}

// So that the name is on disk before the caller removes the source.
int flushFolder(int folder) {
    const UniqueFd readable(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    return readable.valid() && ::fsync(readable.get()) == 0 ? 0 : errno;
}

} // namespace

CopyResult copyFileInto(const CopyRequest& request) {
    CopyResult result;
    if (!isOneComponent(request.name)) {
        result.error = EINVAL;
        return result;
    }
    UniqueFd copy;
    TemporaryName temporary(request.destinationFolder);
    struct stat written {};
    int& error = result.error;
    error = openCopy(request.destinationFolder, copy, temporary);
    const bool unnamed = temporary.isEmpty();
    if (error == 0)
        error = copyData(request, copy.get());
    if (error == 0)
        error = copyMetadata(request, copy.get());
    if (error == 0)
        error = flushAndCheck(request, copy.get(), written);
    if (error == 0 && cancelled(request))
        error = ECANCELED;
    if (error == 0 && request.beforePlacing)
        error = request.beforePlacing();
    if (error == 0)
        error = unnamed ? placeUnnamed(request.destinationFolder, request.name, copy.get())
                        : placeNamed(request, temporary);
    if (error == 0)
        error = openPlaced(request.destinationFolder, request.name, written, result.placed);
    if (error == 0)
        error = flushFolder(request.destinationFolder);
    if (error != 0)
        result.placed.reset();
    return result;
}

CopyResult linkCopyInto(int copy, int destinationFolder, const QByteArray& name) {
    CopyResult result;
    struct stat written {};
    result.error = !isOneComponent(name)         ? EINVAL
                   : ::fstat(copy, &written) != 0 ? errno
                                                  : placeUnnamed(destinationFolder, name, copy);
    if (result.error == 0)
        result.error = openPlaced(destinationFolder, name, written, result.placed);
    return result;
}

std::optional<pid_t> copyTemporaryOwner(const QByteArray& entry) {
    if (entry.startsWith(olderPrefix))
        return isLettersAndDigits(entry.mid(sizeof olderPrefix - 1)) ? std::optional<pid_t>(0) : std::nullopt;
    if (!entry.startsWith(temporaryPrefix))
        return std::nullopt;
    const QList<QByteArray> parts = entry.mid(sizeof temporaryPrefix - 1).split('-');
    bool ok = false;
    const qlonglong pid = parts.size() == 2 && isLettersAndDigits(parts[1]) ? parts[0].toLongLong(&ok) : 0;
    return ok && pid > 0 ? std::optional<pid_t>(pid_t(pid)) : std::nullopt;
}
