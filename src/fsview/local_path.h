#pragma once

#include <QByteArray>
#include <QString>

// A local path and one more name, with one slash between them however the
// path ends: below "/" a name is "/srv", never "//srv" (which a file URL
// would read as a host).
namespace LocalPath {

inline QByteArray join(const QByteArray& folder, const QByteArray& name) {
    return folder.endsWith('/') ? folder + name : folder + '/' + name;
}

inline QString join(const QString& folder, const QString& name) {
    return folder.endsWith(QLatin1Char('/')) ? folder + name : folder + QLatin1Char('/') + name;
}

} // namespace LocalPath
