#pragma once

#include "reports/host.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <cstdio>

// The surroundings of a command-line run: status lines and messages on
// standard error, no waiting for anyone. Status text is shown at most ten
// times a second, as one updating line on a terminal. Ctrl-C (or a
// termination request) sets the run's cancel flag at the next poll.
class CliHost : public Host {
public:
    CliHost(std::atomic<bool>& cancel, std::FILE* out = stderr);
    ~CliHost() override;

    void setStatus(const QString& text) override;
    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) override;
    bool ask(const QString& text, const QString& title = {}) override;
    void setBusy(bool) override {}
    void pollEvents() override;

    // Shows the last status text if the throttle held it back.
    void flush();
    // Shows a closing line at once, whatever the throttle held back, unless
    // it is the line last shown.
    void showFinal(const QString& text);

private:
    void show(const QString& text);
    void endStatusLine();

    std::atomic<bool>& m_cancel;
    std::FILE* m_out;
    bool m_terminal;
    bool m_lineOpen = false;
    QString m_pending;
    QString m_shown;
    bool m_hasPending = false;
    QElapsedTimer m_sinceShown;
    bool m_signalsBlocked = false;
};
