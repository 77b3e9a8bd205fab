#include "root_safe_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// The folder and each one above it belong to root, and neither group nor
// others may write to them.
bool onlyRootCanChange(const QString& folder) {
    for (QString f = QFileInfo(folder).canonicalFilePath(); !f.isEmpty(); f = QFileInfo(f).path()) {
        struct stat st {};
        if (::stat(QFile::encodeName(f).constData(), &st) != 0 || st.st_uid != 0 || (st.st_mode & 022))
            return false;
        if (f == QLatin1String("/"))
            return true;
    }
    return false;
}

} // namespace

QString rootSafeTemplate() {
    const QString name = QStringLiteral("/quarvo-test-XXXXXX");
    if (::geteuid() == 0) {
        for (const QString& base : {QFileInfo(QStringLiteral(QUARVO_BINARY)).absolutePath(), QDir::homePath()}) {
            if (onlyRootCanChange(base))
                return QFileInfo(base).canonicalFilePath() + name;
        }
    }
    return QDir::tempPath() + name;
}
