#include "netware/client/site_loader.h"

#include "netware/client/mount_table.h"
#include "netware/client/site_file.h"
#include "netware/client/site_file_guard.h"
#include "netware/client/system_site.h"

#include <unistd.h>

#include <climits>

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
    return SystemSite::merge(std::move(site), SiteFile::parse(path, SiteFileGuard::read(path)));
}
