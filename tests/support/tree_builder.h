#pragma once

#include "spawned_output.h"

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Small helpers to lay out fixture trees.
namespace TreeBuilder {

// A file of the given size (sparse), created with its folders.
inline void file(const QString& path, qint64 size) {
    QDir().mkpath(path.section('/', 0, -2));
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.resize(size);
}

// A file of the given size holding real bytes, in an existing folder.
inline bool dense(const QString& path, qsizetype size = 0) {
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(QByteArray(size, 'x')) == size;
}

inline QByteArray native(const QString& path) {
    return QFile::encodeName(path);
}

inline void dir(const QString& path) {
    QDir().mkpath(path);
}

// Sets the last-modified and last-access times to noon of the given days.
inline void times(const QString& path, const QDate& modified, const QDate& accessed) {
    const timespec t[2] = {{QDateTime(accessed, QTime(12, 0)).toSecsSinceEpoch(), 0},
                           {QDateTime(modified, QTime(12, 0)).toSecsSinceEpoch(), 0}};
    ::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), t, AT_SYMLINK_NOFOLLOW);
}

// Writes what ncdu -x -o writes of the tree at top into the file to,
// owners and times included when extended (-e); false when ncdu failed.
inline bool ncduExport(const QString& top, const QString& to, bool extended = true) {
    return spawnOutput("ncdu", (extended ? QStringList{"-x", "-e"} : QStringList{"-x"}) + QStringList{"-o", to, top})
        .succeeded();
}

} // namespace TreeBuilder
