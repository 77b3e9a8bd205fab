#include "fileops/operations_log.h"

#include "fileops/log_text.h"
#include "reports/cell_format.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

// A line break in a file name would start a line of its own that reads like
// another outcome; other controls could drive the terminal the log is read
// on, and bidirectional controls show a line's text in another order. TAB
// stays: it may be the delimiter the user reads the log with.
bool isEscaped(char16_t c) {
    return (c < 0x20 && c != u'\t') || (c >= 0x7f && c <= 0x9f) || (c >= 0x61c && LogText::isLayoutControl(c));
}

QString escapedControls(const QString& text) {
    if (std::none_of(text.cbegin(), text.cend(), [](QChar c) { return isEscaped(c.unicode()); }))
        return text;
    QString out;
    out.reserve(text.size() + 8);
    for (const QChar c : text) {
        if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else if (LogText::isLayoutControl(c.unicode()))
            out += QStringLiteral("\\u%1").arg(int(c.unicode()), 4, 16, QLatin1Char('0'));
        else if (isEscaped(c.unicode()))
            out += QStringLiteral("\\x%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

// The login of uid, else its number.
QString loginOf(uid_t uid) {
    const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(std::size_t(suggested > 0 ? suggested : 1024));
    passwd entry {};
    passwd* found = nullptr;
    int error = 0;
    while ((error = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (error != 0 || !found)
        return QString::number(uid);
    return QString::fromLocal8Bit(found->pw_name);
}

// Where a package or "make install" put the program: its log goes with the
// user's state, not into a shared folder of programs.
bool isInstalled(const QString& programFolder) {
    QString folder = QFileInfo(programFolder).canonicalFilePath();
    if (folder.isEmpty())
        folder = QDir::cleanPath(QDir(programFolder).absolutePath());
    for (const char* system : {"/usr/", "/opt/", "/bin/", "/sbin/"}) {
        if ((folder + QLatin1Char('/')).startsWith(QLatin1String(system)))
            return true;
    }
    const QFileInfo info(folder);
    const QString prefix = info.path();
    return info.fileName() == QLatin1String("bin") &&
           (QFileInfo(prefix + QStringLiteral("/lib/quarvo")).isDir() ||
            QFileInfo(prefix + QStringLiteral("/share/man")).isDir());
}

} // namespace

QString OperationsLog::pathFor(const QString& programFolder) {
    return pathFor(programFolder, ::geteuid(), QStringLiteral("/var/log/quarvo"));
}

QString OperationsLog::pathFor(const QString& programFolder, uid_t effectiveUid, const QString& systemFolder) {
    const QByteArray folder = QFile::encodeName(programFolder);
    if (!programFolder.isEmpty() && ::faccessat(AT_FDCWD, folder.constData(), W_OK, AT_EACCESS) == 0 &&
        !isInstalled(programFolder))
        return programFolder + QStringLiteral("/Quarvo.log");
    if (effectiveUid == 0 && QFileInfo(systemFolder).isDir())
        return systemFolder + QStringLiteral("/Quarvo.log");
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (!QDir::isAbsolutePath(state))
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Quarvo/Quarvo.log");
}

QString OperationsLog::actor(uid_t effectiveUid) {
    QString who = loginOf(effectiveUid);
    const QString sudoUser = qEnvironmentVariable("SUDO_USER");
    if (effectiveUid != 0 || sudoUser.isEmpty())
        return who;
    who += QStringLiteral(" (sudo: ") + sudoUser;
    const QString sudoUid = qEnvironmentVariable("SUDO_UID");
    if (!sudoUid.isEmpty())
        who += QStringLiteral(", uid ") + sudoUid;
    return who + QLatin1Char(')');
}

OperationsLog::OperationsLog(QString path)
    : m_path(std::move(path)), m_by(escapedControls(QStringLiteral("; by ") + actor(::geteuid())).toUtf8() + "\r\n") {}

OperationsLog::~OperationsLog() {
    close();
}

void OperationsLog::fail(int error) {
    fail(QString::fromLocal8Bit(std::strerror(error)));
}

void OperationsLog::fail(const QString& why) {
    if (m_error.isEmpty())
        m_error = why;
}

void OperationsLog::open() {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    // A link planted at the log's name is not followed: the lines would be
    // appended to whatever it leads to. Not blocking: a FIFO planted there
    // would hold the operation until something read it.
    m_file.reset(::open(QFile::encodeName(m_path).constData(),
                        O_WRONLY | O_APPEND | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0644));
    if (!m_file.valid()) {
        fail(errno);
        return;
    }
    struct stat st {};
    if (::fstat(m_file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
        m_file.reset();
        fail(QStringLiteral("it is not a plain file"));
    }
}

void OperationsLog::write(const QString& text) {
    if (m_file.valid())
        writeLine(escapedControls(text).toUtf8());
}

void OperationsLog::write(const QByteArray& text) {
    if (!m_file.valid())
        return;
    if (std::all_of(text.cbegin(), text.cend(), [](char c) { return c >= 0x20 && c < 0x7f; }))
        writeLine(text);
    else
        write(QString::fromUtf8(text));
}

void OperationsLog::writeLine(const QByteArray& outcome) {
    // The local time is formed once a second: it costs more than the line.
    const qint64 second = QDateTime::currentSecsSinceEpoch();
    if (second != m_stampSecond) {
        m_stampSecond = second;
        m_stamp = CellFormat::generalDate(QDateTime::fromSecsSinceEpoch(second)).toUtf8();
    }
    QByteArray line;
    line.reserve(m_stamp.size() + outcome.size() + m_by.size());
    line.append(m_stamp).append(outcome).append(m_by);
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t put = ::write(m_file.get(), line.constData() + done, std::size_t(line.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // A full disk or a size limit took part of the line: give it
            // back. Appending leaves the offset at the end of what was written.
            const int error = put < 0 ? errno : EIO;
            const off_t end = done > 0 ? ::lseek(m_file.get(), 0, SEEK_CUR) : -1;
            if (end >= done)
                ::ftruncate(m_file.get(), end - done);
            fail(error);
            return;
        }
        done += put;
    }
}

void OperationsLog::close() {
    if (m_file.valid() && ::close(m_file.release()) != 0)
        fail(errno);
}
