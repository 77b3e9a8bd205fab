#include "fileops/operations_log.h"

#include "reports/cell_format.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A line break in a file name would start a line of its own that reads like
// another outcome; other controls could drive the terminal the log is read
// on. TAB stays: it may be the delimiter the user reads the log with.
bool isEscaped(char16_t c) {
    return (c < 0x20 && c != u'\t') || (c >= 0x7f && c <= 0x9f);
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
        else if (isEscaped(c.unicode()))
            out += QStringLiteral("\\x%1").arg(int(c.unicode()), 2, 16, QLatin1Char('0'));
        else
            out += c;
    }
    return out;
}

} // namespace

QString OperationsLog::pathFor(const QString& programFolder) {
    const QByteArray folder = QFile::encodeName(programFolder);
    if (!programFolder.isEmpty() && ::access(folder.constData(), W_OK) == 0)
        return programFolder + QStringLiteral("/Quarvo.log");
    QString state = qEnvironmentVariable("XDG_STATE_HOME");
    if (state.isEmpty())
        state = QDir::homePath() + QStringLiteral("/.local/state");
    return state + QStringLiteral("/Quarvo/Quarvo.log");
}

OperationsLog::OperationsLog(QString path) : m_path(std::move(path)) {}

OperationsLog::~OperationsLog() {
    close();
}

void OperationsLog::fail(int error) {
    if (m_error.isEmpty())
        m_error = QString::fromLocal8Bit(std::strerror(error));
}

void OperationsLog::open() {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    m_file.reset(::open(QFile::encodeName(m_path).constData(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    if (!m_file.valid())
        fail(errno);
}

void OperationsLog::write(const QString& text) {
    if (!m_file.valid())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (now.toSecsSinceEpoch() != m_stampSecond) {
        m_stampSecond = now.toSecsSinceEpoch();
        m_stamp = CellFormat::generalDate(now);
    }
    const QByteArray line = (m_stamp + escapedControls(text)).toUtf8() + QByteArrayLiteral("\r\n");
    struct stat before {};
    const bool sized = ::fstat(m_file.get(), &before) == 0;
    for (qsizetype done = 0; done < line.size();) {
        const ssize_t put = ::write(m_file.get(), line.constData() + done, std::size_t(line.size() - done));
        if (put < 0 && errno == EINTR)
            continue;
        if (put <= 0) {
            // A full disk or a size limit took part of the line: give it back.
            const int error = put < 0 ? errno : EIO;
            if (done > 0 && sized)
                ::ftruncate(m_file.get(), before.st_size);
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
