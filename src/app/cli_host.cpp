#include "app/cli_host.h"

#include "app/progress_line.h"
#include "app/terminal_text.h"

#include <csignal>
#include <ctime>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

constexpr qint64 kDrawIntervalMs = 100;
// Reports poll for every row; asking the kernel for a Ctrl-C each time
// would cost a system call per row. Every 64th poll, or after 10 ms, still
// stops a run at once as a user sees it.
constexpr int kPollsPerSignalCheck = 64;
constexpr qint64 kSignalCheckIntervalMs = 10;
constexpr int kDefaultWidth = 80;

sigset_t stopSignals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    return set;
}

// Takes a pending Ctrl-C or termination request, if any, without waiting.
bool takeStopSignal() {
    const sigset_t set = stopSignals();
    const timespec none{0, 0};
    return sigtimedwait(&set, nullptr, &none) > 0;
}

int terminalWidth(std::FILE* out) {
    winsize size{};
    if (::ioctl(::fileno(out), TIOCGWINSZ, &size) == 0 && size.ws_col > 0)
        return size.ws_col;
    return kDefaultWidth;
}

} // namespace

CliHost::CliHost(std::atomic<bool>& cancel, const RunState& run, Options options)
    : m_cancel(cancel),
      m_run(run),
      m_out(options.out),
      m_terminal(options.terminal.value_or(::isatty(::fileno(options.out)) == 1)),
      m_width(options.width > 0 ? options.width : terminalWidth(options.out)) {
    m_sinceStart.start();
}

CliHost::~CliHost() {
    clearLine();
    if (m_signalsBlocked) {
        // A second Ctrl-C still waiting must not kill the process on its way out.
        while (takeStopSignal()) {
        }
        const sigset_t set = stopSignals();
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

void CliHost::catchStopSignals() {
    // Held back, the signals wait for pollEvents, which turns them into a
    // cancel: the run ends as usual and keeps what it found.
    const sigset_t set = stopSignals();
    m_signalsBlocked = pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

void CliHost::setStatus(const QString& text) {
    m_status = text;
    if (m_terminal && (!m_sinceDrawn.isValid() || m_sinceDrawn.elapsed() >= kDrawIntervalMs))
        draw();
}

bool CliHost::signalCheckDue() {
    if (++m_pollsSinceCheck < kPollsPerSignalCheck && m_sinceCheck.isValid() &&
        m_sinceCheck.elapsed() < kSignalCheckIntervalMs)
        return false;
    m_pollsSinceCheck = 0;
    m_sinceCheck.start();
    return true;
}

void CliHost::pollEvents() {
    if (m_signalsBlocked && signalCheckDue() && takeStopSignal()) {
        m_interrupted = true;
        m_cancel = true;
    }
    if (m_terminal && (!m_sinceDrawn.isValid() || m_sinceDrawn.elapsed() >= kDrawIntervalMs))
        draw();
}

void CliHost::checkStopNow() {
    if (m_signalsBlocked && takeStopSignal()) {
        m_interrupted = true;
        m_cancel = true;
    }
}

void CliHost::draw() {
    const QString line = ProgressLine::text(m_run.progress, m_sinceStart.elapsed(), m_status, m_width);
    std::fprintf(m_out, "\r%s\033[K", TerminalText::escaped(line).toUtf8().constData());
    std::fflush(m_out);
    m_lineShown = true;
    m_sinceDrawn.start();
}

void CliHost::clearLine() {
    if (!m_lineShown)
        return;
    std::fputs("\r\033[K", m_out);
    std::fflush(m_out);
    m_lineShown = false;
}

void CliHost::print(const QString& text) {
    clearLine();
    std::fprintf(m_out, "%s\n", TerminalText::escaped(text).toUtf8().constData());
    std::fflush(m_out);
}

void CliHost::message(const QString& text, const QString& title, Icon) {
    print((title.isEmpty() ? QStringLiteral("quarvo") : title) + QStringLiteral(": ") + text);
}

bool CliHost::ask(const QString& text, const QString& title) {
    message(text + QStringLiteral(" (answered No: unattended run)"), title);
    return false;
}

void CliHost::showFinal(const QString& text) {
    print(text);
}
