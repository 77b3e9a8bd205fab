#pragma once

#include "fsview/unique_fd.h"

#include <QString>

#include <sys/stat.h>

// A file opened once for reading, through the folders of its real path: a
// symbolic link given is resolved first, then each folder is opened from "/"
// by its name without following a link, and the file below the last one
// likewise. What is checked (fstat) and what is read is that one file, even
// when a name on the way is swapped meanwhile. A FIFO cannot hang the open.
class OpenedFile {
public:
    enum class Fault { None, CannotOpen, NotRegular, UnsafeFolder };

    // With checkFolders, a folder on the way that anyone but root can change
    // (whyNotRootOnly) stops the walk: run as root, sshd's rule.
    OpenedFile(const QString& path, bool checkFolders);

    Fault fault() const { return m_fault; }
    int error() const { return m_error; }                    // errno, with CannotOpen
    const QString& folder() const { return m_folder; }       // with UnsafeFolder
    const QString& whyUnsafe() const { return m_whyUnsafe; } // with UnsafeFolder
    const QString& realPath() const { return m_realPath; }
    const struct stat& status() const { return m_status; } // the open file's
    int fd() const { return m_fd.get(); }

    // Why what st describes is not root's alone: "belongs to uid 4242, not
    // root", "can be written by everyone (mode 1777)" or "... by its group";
    // empty when only root can change it.
    static QString whyNotRootOnly(const struct stat& st);

private:
    UniqueFd openFolders(const QList<QByteArray>& names, bool checkFolders);
    bool folderIsSafe(int fd, const QString& folder);
    void openFile(int folder, const QByteArray& name);
    void fail(Fault fault, int error = 0);

    UniqueFd m_fd;
    Fault m_fault = Fault::None;
    int m_error = 0;
    QString m_folder;
    QString m_whyUnsafe;
    QString m_realPath;
    struct stat m_status {};
};
