#include "netware/client/opened_file.h"

#include <QFile>
#include <QList>

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>

namespace {

// The path with every symbolic link resolved, or empty with errno set.
QByteArray resolved(const QString& path) {
    char real[PATH_MAX];
    if (!::realpath(QFile::encodeName(path).constData(), real))
        return {};
    return QByteArray(real);
}

} // namespace

OpenedFile::OpenedFile(const QString& path, bool checkFolders) {
    const QByteArray real = resolved(path);
    if (real.isEmpty()) {
        fail(Fault::CannotOpen, errno);
        return;
    }
    m_realPath = QFile::decodeName(real);
    QList<QByteArray> names = real.split('/');
    names.removeAll(QByteArray());
    // "/" itself opens as "." below "/", and is then no regular file.
    const QByteArray name = names.isEmpty() ? QByteArray(".") : names.takeLast();
    const UniqueFd folder = openFolders(names, checkFolders);
    if (folder.valid())
        openFile(folder.get(), name);
}

QString OpenedFile::whyNotRootOnly(const struct stat& st) {
    if (st.st_uid != 0)
        return QStringLiteral("belongs to uid %1, not root").arg(st.st_uid);
    if (!(st.st_mode & (S_IWGRP | S_IWOTH)))
        return {};
    return QStringLiteral("can be written by %1 (mode %2)")
        .arg(st.st_mode & S_IWOTH ? QStringLiteral("everyone") : QStringLiteral("its group"),
             QString::number(st.st_mode & 07777, 8));
}

// Each folder is opened below the one before, so the one checked is the one
// the next name is looked up in.
UniqueFd OpenedFile::openFolders(const QList<QByteArray>& names, bool checkFolders) {
    UniqueFd folder(::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC));
    QByteArray path = "/";
    for (qsizetype i = 0; folder.valid(); ++i) {
        if (checkFolders && !folderIsSafe(folder.get(), QFile::decodeName(path)))
            return UniqueFd();
        if (i == names.size())
            return folder;
        path += (path.endsWith('/') ? "" : "/") + names[i];
        folder = UniqueFd(::openat(folder.get(), names[i].constData(),
                                   O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    }
    // A folder it may not enter, or a name on the way made a symbolic link
    // since realpath (ENOTDIR).
    fail(Fault::CannotOpen, errno);
    return folder;
}

bool OpenedFile::folderIsSafe(int fd, const QString& folder) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        fail(Fault::CannotOpen, errno);
        return false;
    }
    m_whyUnsafe = whyNotRootOnly(st);
    if (m_whyUnsafe.isEmpty())
        return true;
    m_folder = folder;
    fail(Fault::UnsafeFolder);
    return false;
}

void OpenedFile::openFile(int folder, const QByteArray& name) {
    m_fd.reset(::openat(folder, name.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    if (!m_fd.valid() || ::fstat(m_fd.get(), &m_status) != 0)
        return fail(Fault::CannotOpen, errno);
    if (!S_ISREG(m_status.st_mode))
        fail(Fault::NotRegular);
}

void OpenedFile::fail(Fault fault, int error) {
    m_fault = fault;
    m_error = error;
    m_fd.reset();
}
