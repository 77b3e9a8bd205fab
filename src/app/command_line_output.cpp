#include "app/command_line_output.h"

#include "app/terminal_text.h"
#include "reports/cell_format.h"
#include "reports/results_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <unistd.h>

namespace {

const QByteArray kLineEnd = QByteArrayLiteral("\r\n");

QStringList leadingFields(const ReportEnv& env, bool headingLine, const QString& runDate) {
    const bool volumeRun = env.search.tabSearch == ReportKind::Volume;
    if (headingLine) {
        return volumeRun ? QStringList{QStringLiteral("Run Date")}
                         : QStringList{QStringLiteral("Run Date"), QStringLiteral("Server"),
                                       QStringLiteral("Volume")};
    }
    return volumeRun
               ? QStringList{runDate}
               : QStringList{runDate, env.search.cmbServer.text, env.search.cmbVolumeList.text};
}

// A device, a pipe or a FIFO named as the output is written straight to:
// there is nothing to replace, and a file renamed over /dev/null would be a disaster.
bool isSpecialFile(const QString& path) {
    const QFileInfo info(path);
    return info.exists() && !info.isFile() && !info.isDir();
}

// Status texts while saving: every row would cost more than the row.
constexpr qsizetype kRowsPerStatus = 256;

} // namespace

CommandLineOutput::CommandLineOutput(Target target, std::FILE* standardOutput)
    : m_target(std::move(target)), m_stdout(standardOutput) {}

CommandLineOutput::~CommandLineOutput() {
    abandon();
}

bool CommandLineOutput::toStandardOutput() const {
    return m_target.path.isEmpty() || m_target.path == QLatin1String("-");
}

QString CommandLineOutput::open() {
    if (toStandardOutput()) return {};
    const QString& path = m_target.path;
    std::unique_ptr<QFileDevice> device;
    QIODevice::OpenMode mode = QIODevice::WriteOnly;
    if (m_target.append) {
        m_created = !QFileInfo::exists(path);
        device = std::make_unique<QFile>(path);
        mode |= QIODevice::Append;
    } else if (isSpecialFile(path)) {
        device = std::make_unique<QFile>(path);
    } else {
        device = std::make_unique<QSaveFile>(path);
    }
    if (!device->open(mode))
        return QStringLiteral("Cannot open %1: %2").arg(path, device->errorString());
    if (qobject_cast<QSaveFile*>(device.get()))
        ResultsFile::keepOwnership(*device, path);
    m_device = std::move(device);
    return {};
}

QString CommandLineOutput::write(const ReportEnv& env, Host& host) {
    if (toStandardOutput()) {
        QFile out;
        if (!out.open(m_stdout, QIODevice::WriteOnly))
            return QStringLiteral("Cannot write standard output: %1").arg(out.errorString());
        return writeTo(out, QStringLiteral("standard output"), env, nullptr);
    }
    if (!m_device) return QStringLiteral("Cannot write %1: it was not opened").arg(m_target.path);
    QString error = writeTo(*m_device, m_target.path, env, &host);
    if (!error.isEmpty()) {
        abandon();
        return error;
    }
    error = finish(*m_device, m_target.path);
    m_device.reset();
    m_created = false;
    return error;
}

QString CommandLineOutput::writePartial(const ReportEnv& env, Host& host) {
    if (toStandardOutput()) return write(env, host);
    abandon();
    QSaveFile partial(partialPath());
    if (!partial.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot open %1: %2").arg(partialPath(), partial.errorString());
    const QString error = writeTo(partial, partialPath(), env, &host);
    return error.isEmpty() ? finish(partial, partialPath()) : error;
}

void CommandLineOutput::abandon() {
    if (!m_device) return;
    // A QSaveFile discards its temporary file when it goes; closing it is not allowed.
    if (auto* save = qobject_cast<QSaveFile*>(m_device.get()))
        save->cancelWriting();
    else
        m_device->close();
    m_device.reset();
    if (m_created && QFileInfo(m_target.path).size() == 0) QFile::remove(m_target.path);
    m_created = false;
}

QString CommandLineOutput::writeTo(QFileDevice& device, const QString& name, const ReportEnv& env,
                                   Host* host) {
    // Rows shown on a terminal must not be able to drive it; a file or a pipe gets them as they
    // are.
    const bool terminal = !host && ::isatty(::fileno(m_stdout)) == 1;
    const QString& delimiter = m_target.delimiter;
    const QString runDate = CellFormat::generalDate(QDateTime::currentDateTime());
    // The leading fields are the same on every row: joined once.
    const QString rowStart = ResultsFile::joinFields(leadingFields(env, false, runDate), delimiter) + delimiter;
    const QList<ResultsFile::ColumnOutput> outputs = ResultsFile::columnOutputs(env.grid);
    const qsizetype first = m_target.headings ? 0 : 1;
    for (qsizetype row = first; row < env.grid.rows(); ++row) {
        const QStringList fields = ResultsFile::rowFields(env.grid, row, outputs);
        const QString line = row > 0 && !fields.isEmpty()
                                 ? rowStart + ResultsFile::joinFields(fields, delimiter)
                                 : ResultsFile::joinFields(leadingFields(env, row == 0, runDate) + fields, delimiter);
        const QByteArray bytes = (terminal ? TerminalText::escaped(line) : line).toUtf8() + kLineEnd;
        if (device.write(bytes) != bytes.size())
            return QStringLiteral("Cannot write %1: %2").arg(name, device.errorString());
        if (!host)
            continue;
        const qsizetype written = row - first + 1;
        if (written % kRowsPerStatus == 0 || row + 1 == env.grid.rows())
            host->setStatus(QStringLiteral("Saving row ") + QString::number(written));
        host->pollEvents();
    }
    return device.flush() ? QString()
                          : QStringLiteral("Cannot write %1: %2").arg(name, device.errorString());
}

QString CommandLineOutput::finish(QFileDevice& device, const QString& name) {
    if (auto* save = qobject_cast<QSaveFile*>(&device)) {
        if (!save->commit())
            return QStringLiteral("Cannot write %1: %2").arg(name, save->errorString());
        return {};
    }
    device.close();
    if (device.error() != QFileDevice::NoError)
        return QStringLiteral("Cannot write %1: %2").arg(name, device.errorString());
    return {};
}
