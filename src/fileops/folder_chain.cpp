#include "fileops/folder_chain.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>

namespace {

bool isOneComponent(const QByteArray& name) {
    return !name.isEmpty() && name != "." && name != ".." && !name.contains('/') && !name.contains('\0');
}

// Where the kernel has no openat2: no link followed (O_NOFOLLOW), and the
// device compared by hand.
UniqueFd openWithoutOpenat2(int parent, const QByteArray& name, int flags) {
    UniqueFd fd(::openat(parent, name.constData(), flags | O_NOFOLLOW));
    struct stat above {};
    struct stat below {};
    if (fd.valid() && (::fstat(parent, &above) != 0 || ::fstat(fd.get(), &below) != 0 || above.st_dev != below.st_dev)) {
        errno = EXDEV;
        return UniqueFd();
    }
    return fd;
}

} // namespace

UniqueFd FolderChain::openComponent(int parent, const QByteArray& name, int flags) {
    if (!isOneComponent(name)) {
        errno = EINVAL;
        return UniqueFd();
    }
    open_how how{};
    how.flags = std::uint64_t(flags | O_NOFOLLOW | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_NO_MAGICLINKS;
    const long fd = ::syscall(SYS_openat2, parent, name.constData(), &how, sizeof how);
    if (fd < 0 && errno == ENOSYS)
        return openWithoutOpenat2(parent, name, flags | O_CLOEXEC);
    return UniqueFd(int(fd));
}

void FolderChain::clear() {
    m_base = -1;
    m_names.clear();
    m_fds.clear();
}

int FolderChain::open(int base, const QList<QByteArray>& names, const Step& step) {
    if (base != m_base) {
        clear();
        m_base = base;
    }
    qsizetype same = 0;
    while (same < m_names.size() && same < names.size() && m_names[same] == names[same])
        ++same;
    m_names.resize(same);
    m_fds.resize(std::size_t(same));
    for (qsizetype i = same; i < names.size(); ++i) {
        UniqueFd fd = step(i == 0 ? base : m_fds.back().get(), names[i], std::size_t(i));
        if (!fd.valid())
            return -1;
        m_fds.push_back(std::move(fd));
        m_names.append(names[i]);
    }
    return names.isEmpty() ? base : m_fds.back().get();
}
