#include "ui/auxiliary/desktop.h"

#include <QDesktopServices>
#include <QProcess>
#include <QStandardPaths>

bool QtDesktop::openUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

bool QtDesktop::startProgram(const QString& path) {
    return QProcess::startDetached(path, {});
}

QString QtDesktop::findProgram(const QStringList& names) {
    for (const QString& name : names) {
        const QString found = QStandardPaths::findExecutable(name);
        if (!found.isEmpty())
            return found;
    }
    return {};
}
