#include "app/cli_host.h"

#include <csignal>
#include <ctime>
#include <unistd.h>

namespace {

constexpr qint64 kStatusIntervalMs = 100;

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

} // namespace

CliHost::CliHost(std::atomic<bool>& cancel, std::FILE* out)
    : m_cancel(cancel), m_out(out), m_terminal(::isatty(::fileno(out)) == 1) {
    // Held back, the signals wait for pollEvents, which turns them into a
    // cancel: the run ends as usual and keeps what it found.
    const sigset_t set = stopSignals();
    m_signalsBlocked = pthread_sigmask(SIG_BLOCK, &set, nullptr) == 0;
}

CliHost::~CliHost() {
    flush();
    endStatusLine();
    if (m_signalsBlocked) {
        const sigset_t set = stopSignals();
        pthread_sigmask(SIG_UNBLOCK, &set, nullptr);
    }
}

void CliHost::setStatus(const QString& text) {
    if (m_sinceShown.isValid() && m_sinceShown.elapsed() < kStatusIntervalMs) {
        m_pending = text;
        m_hasPending = true;
        return;
    }
    show(text);
}

void CliHost::show(const QString& text) {
    const QByteArray bytes = text.toUtf8();
    if (m_terminal)
        std::fprintf(m_out, "\r%s\033[K", bytes.constData());
    else
        std::fprintf(m_out, "%s\n", bytes.constData());
    std::fflush(m_out);
    m_lineOpen = m_terminal;
    m_hasPending = false;
    m_shown = text;
    m_sinceShown.start();
}

void CliHost::flush() {
    if (m_hasPending)
        show(m_pending);
}

void CliHost::showFinal(const QString& text) {
    m_hasPending = false;
    if (text != m_shown)
        show(text);
    endStatusLine();
}

void CliHost::endStatusLine() {
    if (m_lineOpen) {
        std::fputc('\n', m_out);
        m_lineOpen = false;
    }
}

void CliHost::message(const QString& text, const QString& title, Icon) {
    flush();
    endStatusLine();
    const QByteArray head = title.isEmpty() ? QByteArray("quarvo") : title.toUtf8();
    std::fprintf(m_out, "%s: %s\n", head.constData(), text.toUtf8().constData());
    std::fflush(m_out);
}

bool CliHost::ask(const QString& text, const QString& title) {
    message(text + QStringLiteral(" (answered No: unattended run)"), title);
    return false;
}

void CliHost::pollEvents() {
    if (m_signalsBlocked && takeStopSignal())
        m_cancel = true;
    if (m_hasPending && m_sinceShown.elapsed() >= kStatusIntervalMs)
        show(m_pending);
}
