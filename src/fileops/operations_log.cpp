#include "fileops/operations_log.h"

#include "reports/cell_format.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

#include <unistd.h>

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

OperationsLog::OperationsLog(QString path) : m_path(std::move(path)), m_file(m_path) {}

OperationsLog::~OperationsLog() {
    close();
}

void OperationsLog::open() {
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    if (!m_file.open(QIODevice::WriteOnly | QIODevice::Append))
        m_error = m_file.errorString();
}

void OperationsLog::write(const QString& text) {
    if (!m_file.isOpen())
        return;
    const QDateTime now = QDateTime::currentDateTime();
    if (now.toSecsSinceEpoch() != m_stampSecond) {
        m_stampSecond = now.toSecsSinceEpoch();
        m_stamp = CellFormat::generalDate(now);
    }
    const QByteArray line = (m_stamp + escapedControls(text)).toUtf8() + QByteArrayLiteral("\r\n");
    if (m_file.write(line) != line.size() && m_error.isEmpty())
        m_error = m_file.errorString();
}

void OperationsLog::close() {
    if (!m_file.isOpen())
        return;
    if (!m_file.flush() && m_error.isEmpty())
        m_error = m_file.errorString();
    m_file.close();
}
