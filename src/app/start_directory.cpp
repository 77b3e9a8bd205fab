#include "app/start_directory.h"

#include "app/command_line.h"
#include "app/name_lookup.h"
#include "fsview/dirent_records.h"
#include "fsview/name_bytes.h"

#include <QFile>
#include <QFileInfo>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Components of a local path without empty and "." parts; ".." is kept so
// the volume view can refuse a path that climbs out of its volume.
QStringList localComponents(const QString& path) {
    QStringList parts;
    for (const QString& part : path.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (part != QLatin1String(".")) parts.append(part);
    }
    return parts;
}

bool startsWith(const QStringList& path, const QStringList& root) {
    return root.size() <= path.size() && path.first(root.size()) == root;
}

QString volumePath(const QString& server, const QString& volume, const QStringList& dirs) {
    return QStringLiteral("\\\\") + server + QLatin1Char('\\') + volume + QLatin1Char('\\') +
           dirs.join(QLatin1Char('\\'));
}

// The names in a directory: all of them, or the directories only, for a
// message saying where one could start instead; read as bytes, so a name
// that is not UTF-8 reads as the rows show it.
QStringList entriesOf(const QByteArray& localPath, bool directoriesOnly) {
    QStringList names;
    DIR* dir = ::opendir(localPath.constData());
    if (!dir)
        return names;
    while (const dirent* e = ::readdir(dir)) {
        struct stat st {};
        if (DirentRecords::isDotOrDotDot(e->d_name) ||
            (directoriesOnly && (::fstatat(::dirfd(dir), e->d_name, &st, 0) != 0 || !S_ISDIR(st.st_mode))))
            continue;
        names.append(NameBytes::decode(e->d_name, qsizetype(std::strlen(e->d_name))));
    }
    ::closedir(dir);
    std::sort(names.begin(), names.end(),
              [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; });
    return names;
}

struct VolumeMatch {
    const ServerConfig* server = nullptr;
    const VolumeConfig* volume = nullptr;
    qsizetype depth = -1;
};

// The innermost volume whose root holds the path; map gives each root's form
// to compare with.
template <typename Map>
VolumeMatch innermostVolume(const Site& site, const QStringList& path, Map map) {
    VolumeMatch best;
    for (const ServerConfig& server : site.servers) {
        for (const VolumeConfig& volume : server.volumes) {
            const QString mapped = map(QFile::decodeName(volume.root));
            const QStringList root = localComponents(mapped);
            if (!mapped.isEmpty() && startsWith(path, root) && root.size() > best.depth)
                best = {&server, &volume, root.size()};
        }
    }
    return best;
}

QString volumeRoots(const Site& site) {
    QStringList roots;
    for (const ServerConfig& server : site.servers) {
        for (const VolumeConfig& volume : server.volumes)
            roots.append(QStringLiteral("\\\\%1\\%2 = %3")
                             .arg(server.name, volume.name, QFile::decodeName(volume.root)));
    }
    return NameLookup::listed(roots);
}

} // namespace

StartDirectory::Place StartDirectory::find(const QString& typed, ReportEnv& env) {
    const QString unescaped = NameBytes::unescaped(typed.trimmed());
    if (unescaped == typed.trimmed())
        return findAsTyped(typed, env);
    // A backslash before "x" may as well be a separator followed by a name.
    try {
        return findAsTyped(typed, env);
    } catch (const CommandLineError&) {
        return findAsTyped(unescaped, env);
    }
}

StartDirectory::Place StartDirectory::findAsTyped(const QString& typed, ReportEnv& env) {
    const Parts parts = partsOf(typed.trimmed(), env.client.site());
    const NameLookup names(env);
    const QString server = names.server(parts.server);
    const QString volume = names.volume(server, parts.volume);
    const Parts found{server, volume, parts.dirs};
    const QString path = volumePath(server, volume, parts.dirs);
    checkReachable(found, path, env);
    return {server, volume, path};
}

StartDirectory::Parts StartDirectory::partsOf(const QString& typed, const Site& site) {
    if (typed.startsWith(QLatin1Char('/'))) return fromLocalPath(typed, site);
    const std::optional<VolumePathParts> parts = VolumePathParts::split(typed);
    if (!parts)
        throw CommandLineError(
            QStringLiteral("/D= needs a directory path such as \\\\SERVER\\VOLUME\\DIRECTORY "
                           "or a local path inside a volume, not \"%1\".")
                .arg(typed));
    return {parts->server, parts->volume, parts->dirs};
}

StartDirectory::Parts StartDirectory::fromLocalPath(const QString& path, const Site& site) {
    QStringList components = localComponents(path);
    VolumeMatch match = innermostVolume(site, components, [](const QString& root) { return root; });
    const QString real = QFileInfo(path).canonicalFilePath();
    if (!match.volume && !real.isEmpty()) {
        // A volume configured through a symbolic link still holds its real path.
        components = localComponents(real);
        match = innermostVolume(site, components, [](const QString& root) {
            return QFileInfo(root).canonicalFilePath();
        });
    }
    if (!match.volume)
        throw CommandLineError(
            QStringLiteral("%1 lies in no volume (volumes: %2).").arg(path, volumeRoots(site)));
    const QStringList below = components.mid(match.depth);
    for (const QString& part : below) {
        if (part.contains(QLatin1Char('\\')))
            throw CommandLineError(
                QStringLiteral("%1 cannot be written as a volume path: \"%2\" holds a backslash.")
                    .arg(path, part));
    }
    return {match.server->name, match.volume->name, below};
}

void StartDirectory::checkReachable(const Parts& parts, const QString& path, ReportEnv& env) {
    const VolumeView::Resolved resolved = env.volumes.resolve(path);
    if (!resolved.ok()) throw CommandLineError(whyUnreachable(parts, resolved.error, env));
    const int fd = ::open(resolved.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        throw CommandLineError(error == ENOTDIR
                                   ? QStringLiteral("%1 is not a directory.").arg(path)
                                   : QStringLiteral("%1 cannot be opened: %2.")
                                         .arg(path, QString::fromLocal8Bit(std::strerror(error))));
    }
    ::close(fd);
}

// A missing directory is named with what its parent holds; anything else
// (a path that leaves its volume, a root that is gone) as the view says.
QString StartDirectory::whyUnreachable(const Parts& parts, const QString& error, ReportEnv& env) {
    for (qsizetype depth = parts.dirs.size() - 1; depth >= 0; --depth) {
        const QString parent = volumePath(parts.server, parts.volume, parts.dirs.first(depth));
        const VolumeView::Resolved resolved = env.volumes.resolve(parent);
        if (!resolved.ok()) continue;
        const QString& missing = parts.dirs[depth];
        if (missing == QLatin1String("..") || missing.contains(QLatin1Char('/')) ||
            entriesOf(resolved.path, false).contains(missing, Qt::CaseInsensitive))
            break;
        const QStringList dirs = entriesOf(resolved.path, true);
        const QString holds =
            dirs.isEmpty() ? QStringLiteral("%1 holds no directories").arg(parent)
                           : QStringLiteral("%1 holds: %2").arg(parent, NameLookup::listed(dirs));
        return QStringLiteral("%1 does not exist (%2).")
            .arg(volumePath(parts.server, parts.volume, parts.dirs.first(depth + 1)), holds);
    }
    return QStringLiteral("/D= cannot be used: %1.").arg(error);
}
