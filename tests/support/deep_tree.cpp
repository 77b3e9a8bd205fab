#include "deep_tree.h"

#include <QDir>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>
#include <vector>

namespace DeepTree {

namespace {

std::vector<std::string> namesIn(int fd) {
    std::vector<std::string> names;
    DIR* d = ::fdopendir(::dup(fd));
    if (!d)
        return names;
    ::rewinddir(d); // the duplicate shares its offset with fd, left at the end by the last listing
    while (const dirent* e = ::readdir(d)) {
        const std::string name = e->d_name;
        if (name != "." && name != "..")
            names.push_back(name);
    }
    ::closedir(d);
    return names;
}

} // namespace

void build(const QByteArray& root, int levels) {
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < levels && fd >= 0; ++i) {
        if (i % kLeafEvery == 0) {
            ::mkdirat(fd, "l", 0755);
            ::close(::openat(fd, "l/f", O_CREAT | O_WRONLY | O_CLOEXEC, 0644));
        }
        ::mkdirat(fd, "d", 0755);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd >= 0)
        ::close(fd);
}

// Empties root from the bottom up, one directory open at a time: down into
// the first subdirectory that is not empty, back up through ".." once a
// directory is empty. Linear in the tree, however deep (renaming deep
// directories, or removing by path, is not).
void remove(const QByteArray& root) {
    int fd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat top {};
    if (fd < 0 || ::fstat(fd, &top) != 0)
        return;
    while (fd >= 0) {
        int below = -1;
        for (const std::string& name : namesIn(fd)) {
            if (::unlinkat(fd, name.c_str(), 0) == 0 || ::unlinkat(fd, name.c_str(), AT_REMOVEDIR) == 0)
                continue;
            below = ::openat(fd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (below >= 0)
                break;
        }
        struct stat here {};
        const bool atTop = ::fstat(fd, &here) == 0 && here.st_ino == top.st_ino && here.st_dev == top.st_dev;
        const int next = below >= 0 ? below : (atTop ? -1 : ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
        ::close(fd);
        fd = next;
    }
}

int openFdCount() {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

} // namespace DeepTree
