#include "fsview/volume_path_lookup.h"

#include "fsview/local_path.h"
#include "fsview/name_bytes.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <optional>
#include <cstring>

namespace {

constexpr int kPassFlags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;

QString systemError(int error) {
    return QString::fromLocal8Bit(std::strerror(error));
}

} // namespace

VolumePathLookup::VolumePathLookup(const QByteArray& root, const QString& display, const QString& typed)
    : m_typed(typed), m_root(root), m_local(root), m_display(display) {
    // The volume's root itself may be reached through a link: it is configured, not typed.
    m_dir.reset(::open(root.constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat st {};
    if (!m_dir.valid() || ::fstat(m_dir.get(), &st) != 0)
        fail(QStringLiteral("%1 cannot be reached: %2").arg(typed, systemError(errno)));
    m_device = st.st_dev;
}

bool VolumePathLookup::fail(const QString& why, bool transient) {
    if (m_error.isEmpty()) {
        m_error = why;
        m_transient = transient;
    }
    return false;
}

bool VolumePathLookup::descend(const QStringList& dirs, bool lastMayBeFile) {
    if (!m_error.isEmpty())
        return false;
    for (qsizetype i = 0; i < dirs.size(); ++i) {
        if (!step(dirs[i], i + 1 == dirs.size(), lastMayBeFile))
            return false;
    }
    return true;
}

bool VolumePathLookup::step(const QString& component, bool last, bool lastMayBeFile) {
    if (!m_leaf.isEmpty())
        return fail(QStringLiteral("%1 does not exist").arg(m_typed));
    if (component == QLatin1String("."))
        return true;
    if (component == QLatin1String("..") || component.contains(QLatin1Char('/')) || component.contains(QChar(0)))
        return fail(QStringLiteral("%1 leaves its volume").arg(m_typed));
    QByteArray name;
    if (!find(component, name))
        return false;
    struct stat st {};
    if (::fstatat(m_dir.get(), name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(QStringLiteral("%1 cannot be reached: %2").arg(m_typed, systemError(errno)), true);
    const QString shown = NameBytes::decode(name);
    if (S_ISLNK(st.st_mode))
        return fail(linkLeadsOut(name) ? QStringLiteral("%1 leaves its volume through the symbolic link %2").arg(m_typed, shown)
                                       : QStringLiteral("%1 passes through the symbolic link %2, which is not followed: "
                                                        "by the time it is opened it could lead anywhere")
                                             .arg(m_typed, shown));
    if (st.st_dev != m_device)
        return fail(QStringLiteral("%1 lies on another file system than its volume (at %2)").arg(m_typed, shown));
    m_local = LocalPath::join(m_local, name);
    m_names.append(name);
    m_display += QLatin1Char('\\') + shown;
    m_atRoot = false;
    if (!S_ISDIR(st.st_mode)) {
        if (!last || !lastMayBeFile)
            return fail(QStringLiteral("%1 is not a directory").arg(m_typed));
        m_leaf = name;
        return true;
    }
    UniqueFd next(::openat(m_dir.get(), name.constData(), kPassFlags));
    if (!next.valid())
        return fail(QStringLiteral("%1 cannot be reached: %2").arg(m_typed, systemError(errno)), true);
    m_dir = std::move(next);
    return true;
}

// The component's entry: its exact name, else the one that differs only in case.
bool VolumePathLookup::find(const QString& component, QByteArray& name) {
    const QByteArray exact = NameBytes::encode(component);
    struct stat st {};
    if (::fstatat(m_dir.get(), exact.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0) {
        name = exact;
        return true;
    }
    const QList<QByteArray> matches = caselessMatches(component);
    if (matches.isEmpty())
        return fail(QStringLiteral("%1 does not exist").arg(m_typed));
    if (matches.size() > 1) {
        QStringList shown;
        for (const QByteArray& match : matches)
            shown.append(NameBytes::decode(match));
        return fail(QStringLiteral("%1 is ambiguous: %2 matches %3, which differ only in case; type the name exactly")
                        .arg(m_typed, component, shown.join(QStringLiteral(", "))));
    }
    name = matches.front();
    return true;
}

QList<QByteArray> VolumePathLookup::caselessMatches(const QString& component) const {
    QList<QByteArray> matches;
    const int fd = ::openat(m_dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return matches;
    DIR* dir = ::fdopendir(fd);
    if (!dir) {
        ::close(fd);
        return matches;
    }
    const QString wanted = component.toCaseFolded();
    while (const dirent* e = ::readdir(dir)) {
        if (NameBytes::decode(e->d_name, qsizetype(std::strlen(e->d_name))).toCaseFolded() == wanted)
            matches.append(QByteArray(e->d_name));
    }
    ::closedir(dir);
    std::sort(matches.begin(), matches.end());
    return matches;
}

// Whether the link named name, below the directory reached, points out of the volume now.
bool VolumePathLookup::linkLeadsOut(const QByteArray& name) const {
    char root[PATH_MAX];
    char target[PATH_MAX];
    if (!::realpath(m_root.constData(), root) || !::realpath(LocalPath::join(m_local, name).constData(), target))
        return true;
    const QByteArray inside = QByteArray(root) == "/" ? QByteArray("/") : QByteArray(root) + '/';
    return QByteArray(target) != QByteArray(root) && !QByteArray(target).startsWith(inside);
}

QString VolumePathLookup::display() const {
    return m_atRoot ? m_display + QLatin1Char('\\') : m_display;
}

UniqueFd VolumePathLookup::openForReading() {
    if (!m_error.isEmpty() || !m_leaf.isEmpty())
        return UniqueFd();
    // Reopens the very directory reached, now with the right to list it.
    UniqueFd fd(::openat(m_dir.get(), ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!fd.valid())
        fail(QStringLiteral("%1 cannot be opened: %2").arg(m_typed, systemError(errno)), true);
    return fd;
}
