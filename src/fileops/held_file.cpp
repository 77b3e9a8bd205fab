#include "fileops/held_file.h"

#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>

namespace {

constexpr char kPrefix[] = ".quarvo-held-";
constexpr qsizetype kNameMax = 255;

int errorOf(int result) {
    return result == 0 ? 0 : errno;
}

QByteArray privateNameFor(const QByteArray& name) {
    char head[64];
    const int size = std::snprintf(head, sizeof head, "%s%ld-%llx-", kPrefix, long(::getpid()),
                                   static_cast<unsigned long long>(QRandomGenerator::global()->generate() & 0xfffffff));
    // A name too long to follow whole is cut: this process still knows it
    // whole, a later recovery gives back what fits.
    QByteArray held;
    held.reserve(kNameMax);
    held.append(head, size).append(name.constData(), std::min(name.size(), kNameMax - size));
    return held;
}

// Renames never replace. Where the file system cannot refuse in the rename
// itself: a private name is random, so a look first will do; a real name is
// refused by a link, after which the private one goes.
int renameToPrivate(int folder, const QByteArray& name, const QByteArray& privateName) {
    if (::renameat2(folder, name.constData(), folder, privateName.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    struct stat st {};
    if (::fstatat(folder, privateName.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return EEXIST;
    return errorOf(::renameat(folder, name.constData(), folder, privateName.constData()));
}

int renameFromPrivate(int fromDir, const QByteArray& privateName, int toDir, const QByteArray& name) {
    if (::renameat2(fromDir, privateName.constData(), toDir, name.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return errno;
    if (::linkat(fromDir, privateName.constData(), toDir, name.constData(), 0) != 0)
        return errno;
    return errorOf(::unlinkat(fromDir, privateName.constData(), 0));
}

// name.quarvo-kept, name.quarvo-kept-2, ...: a visible name beside the one taken.
QByteArray keptName(const QByteArray& name, int attempt) {
    QByteArray suffix = ".quarvo-kept";
    if (attempt > 1)
        suffix += '-' + QByteArray::number(attempt);
    return name.left(kNameMax - suffix.size()) + suffix;
}

} // namespace

HeldFile::~HeldFile() {
    if (held())
        restore();
}

int HeldFile::take(int folder, const QByteArray& name) {
    for (int attempt = 0;; ++attempt) {
        const QByteArray candidate = privateNameFor(name);
        const int error = renameToPrivate(folder, name, candidate);
        if (error == 0) {
            m_folder = folder;
            m_name = name;
            m_private = candidate;
        }
        if (error != EEXIST || attempt == 8)
            return error;
    }
}

int HeldFile::stat(struct stat& st) const {
    return errorOf(::fstatat(m_folder, m_private.constData(), &st, AT_SYMLINK_NOFOLLOW));
}

int HeldFile::restore(QByteArray* keptAs) {
    if (!held())
        return 0;
    const int error = restoreName(m_folder, m_private, m_name, keptAs);
    if (error == 0)
        m_private.clear();
    return error;
}

int HeldFile::restoreName(int folder, const QByteArray& entry, const QByteArray& name, QByteArray* keptAs) {
    int error = renameFromPrivate(folder, entry, folder, name);
    for (int attempt = 1; error == EEXIST && attempt <= 100; ++attempt) {
        const QByteArray visible = keptName(name, attempt);
        error = renameFromPrivate(folder, entry, folder, visible);
        if (error == 0 && keptAs)
            *keptAs = visible;
    }
    return error;
}

int HeldFile::remove() {
    const int error = errorOf(::unlinkat(m_folder, m_private.constData(), 0));
    if (error == 0)
        m_private.clear();
    return error;
}

int HeldFile::moveTo(int folder, const QByteArray& name) {
    const int error = renameFromPrivate(m_folder, m_private, folder, name);
    if (error == 0)
        m_private.clear();
    return error;
}

std::optional<HeldFile::Parsed> HeldFile::parse(const QByteArray& entry) {
    if (!entry.startsWith(kPrefix))
        return std::nullopt;
    const qsizetype pidEnd = entry.indexOf('-', sizeof kPrefix - 1);
    const qsizetype randomEnd = pidEnd < 0 ? -1 : entry.indexOf('-', pidEnd + 1);
    if (randomEnd < 0 || randomEnd + 1 >= entry.size())
        return std::nullopt;
    bool ok = false;
    const qlonglong pid = entry.mid(sizeof kPrefix - 1, pidEnd - qsizetype(sizeof kPrefix - 1)).toLongLong(&ok);
    if (!ok || pid <= 0)
        return std::nullopt;
    return Parsed{pid_t(pid), entry.mid(randomEnd + 1)};
}
