#include "app/command_line_output.h"

#include "app/terminal_text.h"
#include "fsview/name_bytes.h"
#include "reports/cell_format.h"
#include "reports/results_file.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <sys/stat.h>
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

bool hasOutputCell(const QList<ResultsFile::ColumnOutput>& outputs) {
    return std::any_of(outputs.begin(), outputs.end(),
                       [](ResultsFile::ColumnOutput output) { return output != ResultsFile::ColumnOutput::Left; });
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
    // A FIFO is written straight to whatever the mode; a device is refused.
    const QString error = m_file.open(m_target.path, m_target.append ? WholeFileWriter::Mode::Append
                                                                     : WholeFileWriter::Mode::Replace);
    for (const QString& name : m_file.removedLeftovers())
        m_notes.append(QStringLiteral("Removed %1, a temporary file a stopped run left over a day ago.").arg(name));
    return error;
}

QString CommandLineOutput::write(const ReportEnv& env, Host& host) {
    if (toStandardOutput())
        return writeToStandardOutput(env, host);
    if (!m_file.isOpen()) return QStringLiteral("Cannot write %1: it was not opened").arg(m_target.path);
    m_file.setStopCheck([this, &env, &host] { return stopAsked(env, &host); });
    QString error = writeTo(m_file, env, &host);
    if (error.isEmpty() && !m_stopped)
        error = m_file.commit();
    if (error.isEmpty() && !m_stopped)
        removeStalePartial();
    return tookStop(m_file, error);
}

QString CommandLineOutput::writeToStandardOutput(const ReportEnv& env, Host& host) {
    ::fflush(m_stdout); // what went through the stream first stays first
    WholeFileWriter out;
    out.adopt(::fileno(m_stdout), QStringLiteral("standard output"));
    // A stalled reader must not keep Ctrl-C from ending the run.
    out.setStopCheck([this, &env, &host] { return stopAsked(env, &host); });
    QString error = writeTo(out, env, nullptr);
    if (error.isEmpty())
        error = out.commit();
    return tookStop(out, error);
}

// A stop while a reader stalled is a stop, not a failure.
QString CommandLineOutput::tookStop(const WholeFileWriter& file, const QString& error) {
    if (!file.stopped())
        return error;
    m_stopped = true;
    return {};
}

// A .partial beside the output is what a stopped run found; a whole run makes it stale.
void CommandLineOutput::removeStalePartial() const {
    const QByteArray partial = NameBytes::encode(partialPath());
    struct stat st {};
    if (::lstat(partial.constData(), &st) == 0 && S_ISREG(st.st_mode) && st.st_uid == ::geteuid())
        ::unlink(partial.constData());
}

QString CommandLineOutput::writePartial(const ReportEnv& env, Host& host) {
    if (toStandardOutput()) return write(env, host);
    abandon();
    WholeFileWriter partial;
    if (const QString error = partial.open(partialPath(), WholeFileWriter::Mode::Replace); !error.isEmpty())
        return error;
    const QString error = writeTo(partial, env, nullptr);
    return error.isEmpty() ? partial.commit() : error;
}

void CommandLineOutput::abandon() {
    m_file.abandon();
}

bool CommandLineOutput::stopAsked(const ReportEnv& env, Host* host, bool last) {
    if (!host)
        return false;
    host->pollEvents();
    if (last && m_lastCheck)
        m_lastCheck();
    if (env.run.cancel.load()) {
        m_file.abandon();
        m_stopped = true;
    }
    return m_stopped;
}

QString CommandLineOutput::writeTo(WholeFileWriter& file, const ReportEnv& env, Host* host) {
    // Rows shown on a terminal must not be able to drive it; a file or a pipe gets them as they
    // are.
    const bool terminal = !host && ::isatty(::fileno(m_stdout)) == 1;
    const QString& delimiter = m_target.delimiter;
    const QString runDate = CellFormat::generalDate(QDateTime::currentDateTime());
    // The leading fields are the same on every row: joined once, with the
    // delimiter after them (an empty last field).
    QByteArray rowStart;
    ResultsFile::appendJoined(rowStart, leadingFields(env, false, runDate) << QString(), delimiter);
    const QList<ResultsFile::ColumnOutput> outputs = ResultsFile::columnOutputs(env.grid);
    const qsizetype first = m_target.headings ? 0 : 1;
    const bool cellsOut = hasOutputCell(outputs);
    QByteArray line;
    for (qsizetype row = first; row < env.grid.rows(); ++row) {
        line.resize(0);
        if (terminal || row == 0 || !cellsOut) {
            const QString text = ResultsFile::joinFields(
                leadingFields(env, row == 0, runDate) + ResultsFile::rowFields(env.grid, row, outputs), delimiter);
            line = NameBytes::encode(terminal ? TerminalText::escaped(text) : text);
        } else {
            line += rowStart;
            ResultsFile::appendRow(line, env.grid.row(row), outputs, delimiter);
        }
        line += kLineEnd;
        if (const QString error = file.write(line); !error.isEmpty())
            return error;
        if (!host)
            continue;
        const qsizetype written = row - first + 1;
        if (written % kRowsPerStatus == 0 || row + 1 == env.grid.rows())
            host->setStatus(QStringLiteral("Saving row ") + QString::number(written));
        if (stopAsked(env, host))
            return {};
    }
    // The last chance to stop before the file is in place.
    stopAsked(env, host, true);
    return {};
}
