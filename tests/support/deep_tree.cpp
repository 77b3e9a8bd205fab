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

// Lifts every subdirectory's subdirectories up into root until nothing is nested.
void remove(const QByteArray& root) {
    const int top = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    int lifted = 0;
    for (bool nested = true; top >= 0 && nested;) {
        nested = false;
        for (const std::string& name : namesIn(top)) {
            const int sub = ::openat(top, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            if (sub < 0) {
                ::unlinkat(top, name.c_str(), 0);
                continue;
            }
            for (const std::string& inner : namesIn(sub)) {
                if (::unlinkat(sub, inner.c_str(), 0) == 0)
                    continue;
                const std::string up = "lifted" + std::to_string(lifted++);
                ::renameat(sub, inner.c_str(), top, up.c_str());
                nested = true;
            }
            ::close(sub);
            ::unlinkat(top, name.c_str(), AT_REMOVEDIR);
        }
    }
    if (top >= 0)
        ::close(top);
}

int openFdCount() {
    const QDir fds(QStringLiteral("/proc/self/fd"));
    return int(fds.entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot).size());
}

} // namespace DeepTree
