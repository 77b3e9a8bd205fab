#include "netware/client/site_loader.h"

#include "netware/client/mount_table.h"
#include "netware/client/site_file.h"
#include "netware/client/site_file_guard.h"
#include "netware/client/system_site.h"

#include <QFile>

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

namespace {

constexpr qint64 kMostSiteFileBytes = 16 * 1024 * 1024;

// Only a regular file of a sensible size is read: a FIFO would wait for a
// writer forever and /dev/zero would never end. A path that does not exist
// is left to the parser, which says so.
void checkReadable(const QString& path) {
    struct stat st {};
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return;
    if (!S_ISREG(st.st_mode))
        throw SiteFileError(path, 0, QStringLiteral("the site file is not a regular file"));
    if (st.st_size > kMostSiteFileBytes)
        throw SiteFileError(path, 0, QStringLiteral("the site file is larger than 16 MiB"));
}

} // namespace

QString SiteLoader::hostName() {
    char name[HOST_NAME_MAX + 1] = {};
    if (::gethostname(name, sizeof name - 1) != 0 || name[0] == '\0')
        return QStringLiteral("localhost");
    return QString::fromLocal8Bit(name);
}

Site SiteLoader::load(const QProcessEnvironment& env) {
    Site site = SystemSite::build(hostName(), MountTable::read());
    const QString path = SiteFile::locate(env);
    if (path.isEmpty())
        return site;
    checkReadable(path);
    SiteFileGuard::checkOwnership(path);
    return SystemSite::merge(std::move(site), SiteFile::parse(path));
}
