#pragma once

#include <QByteArray>
#include <QString>

// Where an output named by the user really goes, checked before anything is
// written: a regular file (or none yet) or a FIFO; a folder, a device or a
// socket is refused. A symbolic link is followed only when it is the running
// user's or root's and, in a sticky folder anyone can write to, also the
// folder owner's (the rule of the kernel's protected_symlinks): a link
// someone else planted must not send root's report onto a disk or over
// another file.
class OutputPath {
public:
    enum class Kind { Missing, Regular, Fifo };

    static OutputPath check(const QString& path);
    // The folder a path lies in: "." for a bare name, "/" for one in the root.
    static QByteArray folderOf(const QByteArray& path);

    bool refused() const { return !m_why.isEmpty(); }
    // Why it is refused: "it is a folder", ...
    const QString& why() const { return m_why; }
    // What is written: the path itself, or where its link points.
    const QByteArray& real() const { return m_real; }
    Kind kind() const { return m_kind; }

private:
    QByteArray m_real;
    Kind m_kind = Kind::Missing;
    QString m_why;
};
