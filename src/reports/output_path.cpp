#include "reports/output_path.h"

#include "fsview/name_bytes.h"

#include <QFile>

#include <climits>
#include <cstdlib>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Empty when the link at path may be followed.
QString linkRefusal(const QByteArray& path, const struct stat& link) {
    const uid_t self = ::geteuid();
    if (link.st_uid != self && link.st_uid != 0)
        return QStringLiteral("it is a symbolic link of another user's (uid %1), which is not followed")
            .arg(link.st_uid);
    struct stat folder {};
    if (::stat(OutputPath::folderOf(path).constData(), &folder) == 0 && (folder.st_mode & S_ISVTX) &&
        (folder.st_mode & S_IWOTH) && link.st_uid != folder.st_uid)
        return QStringLiteral("it is a symbolic link in a sticky folder anyone can write to, and not the "
                              "folder owner's, so it is not followed");
    return {};
}

} // namespace

QByteArray OutputPath::folderOf(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    return slash < 0 ? QByteArray(".") : slash == 0 ? QByteArray("/") : path.left(slash);
}

OutputPath OutputPath::check(const QString& path) {
    OutputPath out;
    out.m_real = NameBytes::encode(path); // a name that is not UTF-8 keeps its bytes
    struct stat st {};
    if (::lstat(out.m_real.constData(), &st) != 0)
        return out; // missing (or unreachable: opening says why)
    if (S_ISLNK(st.st_mode)) {
        out.m_why = linkRefusal(out.m_real, st);
        if (!out.m_why.isEmpty())
            return out;
        char resolved[PATH_MAX];
        if (!::realpath(out.m_real.constData(), resolved)) {
            out.m_why = QStringLiteral("it is a symbolic link to nothing that exists");
            return out;
        }
        out.m_real = resolved;
        if (::lstat(out.m_real.constData(), &st) != 0)
            return out;
    }
    if (S_ISREG(st.st_mode))
        out.m_kind = Kind::Regular;
    else if (S_ISFIFO(st.st_mode))
        out.m_kind = Kind::Fifo;
    else if (S_ISDIR(st.st_mode))
        out.m_why = QStringLiteral("it is a folder; give the output a file name");
    else
        out.m_why = QStringLiteral("it is a device or a socket; the output must be a file, a FIFO or standard output");
    return out;
}
