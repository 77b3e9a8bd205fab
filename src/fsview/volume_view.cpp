#include "fsview/volume_view.h"

#include <QFile>
#include <QStringDecoder>

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace {

bool exists(const QByteArray& path) {
    struct stat st {};
    return ::lstat(path.constData(), &st) == 0;
}

std::optional<QString> decodeUtf8(const char* name) {
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    QString text = decoder(QByteArray(name));
    if (decoder.hasError())
        return std::nullopt;
    return text;
}

// The entry of dir whose name equals component without regard to case; the
// byte-wise smallest when several do. Names that are not valid UTF-8 never
// match, so a mangled name can never stand for another file.
std::optional<QByteArray> findCaseless(const QByteArray& dir, const QString& component) {
    std::unique_ptr<DIR, int (*)(DIR*)> d(::opendir(dir.constData()), ::closedir);
    if (!d)
        return std::nullopt;
    std::optional<QByteArray> best;
    while (const dirent* e = ::readdir(d.get())) {
        const std::optional<QString> name = decodeUtf8(e->d_name);
        if (!name || name->compare(component, Qt::CaseInsensitive) != 0)
            continue;
        const QByteArray bytes(e->d_name);
        if (!best || bytes < *best)
            best = bytes;
    }
    return best;
}

std::optional<QByteArray> realPath(const QByteArray& path) {
    char buffer[PATH_MAX];
    if (!::realpath(path.constData(), buffer))
        return std::nullopt;
    return QByteArray(buffer);
}

bool isInside(const QByteArray& path, const QByteArray& root) {
    if (path == root)
        return true;
    const QByteArray prefix = root.endsWith('/') ? root : root + '/';
    return path.startsWith(prefix);
}

} // namespace

std::optional<VolumePathParts> VolumePathParts::split(const QString& volumePath) {
    if (!volumePath.startsWith(QLatin1String("\\\\")))
        return std::nullopt;
    const QStringList parts = volumePath.mid(2).split(QLatin1Char('\\'));
    if (parts.size() < 2 || parts[0].isEmpty() || parts[1].isEmpty())
        return std::nullopt;
    VolumePathParts result{parts[0], parts[1], {}};
    for (qsizetype i = 2; i < parts.size(); ++i) {
        if (!parts[i].isEmpty())
            result.dirs.append(parts[i]);
    }
    return result;
}

VolumeView::Resolved VolumeView::resolve(const QString& volumePath) const {
    const std::optional<VolumePathParts> parts = VolumePathParts::split(volumePath);
    if (!parts)
        return {{}, QStringLiteral("not a volume path: %1").arg(volumePath)};
    const std::optional<QByteArray> root = m_locator.volumeRoot(parts->server, parts->volume);
    if (!root)
        return {{}, QStringLiteral("no volume %1 on server %2").arg(parts->volume, parts->server)};
    QByteArray path = *root;
    for (const QString& component : parts->dirs) {
        if (component == QLatin1String("."))
            continue;
        if (component == QLatin1String("..") || component.contains(QLatin1Char('/')) ||
            component.contains(QChar(0)))
            return {{}, QStringLiteral("%1 leaves its volume").arg(volumePath)};
        const QByteArray exact = path + '/' + component.toUtf8();
        if (exists(exact)) {
            path = exact;
            continue;
        }
        const std::optional<QByteArray> found = findCaseless(path, component);
        if (!found)
            return {{}, QStringLiteral("%1 does not exist").arg(volumePath)};
        path += '/' + *found;
    }
    const std::optional<QByteArray> realRoot = realPath(*root);
    const std::optional<QByteArray> real = realPath(path);
    if (!realRoot || !real)
        return {{}, QStringLiteral("%1 cannot be reached").arg(volumePath)};
    if (!isInside(*real, *realRoot))
        return {{}, QStringLiteral("%1 leaves its volume").arg(volumePath)};
    return {path, {}};
}

bool VolumeView::canOpenDirectory(const QString& volumePath) const {
    const Resolved r = resolve(volumePath);
    if (!r.ok())
        return false;
    const int fd = ::open(r.path.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}
