#pragma once

#include "settings/host.h"
#include "settings/run_state.h"

#include <QElapsedTimer>
#include <QString>

#include <atomic>
#include <cstdio>
#include <optional>

// The surroundings of a command-line run: messages on standard error, no
// waiting for anyone. On a terminal one progress line, redrawn at most ten
// times a second from the run's progress, is cleared before anything else
// is printed; elsewhere (cron, CI, a log file) only messages and the closing
// lines appear. Text bound for the terminal has its control characters
// escaped, since file names reach it. After catchStopSignals, Ctrl-C (or a
// termination request) sets the run's cancel flag at the next poll.
class CliHost : public Host {
public:
    struct Options {
        std::FILE* out = stderr;
        std::optional<bool> terminal; // unset: whether out is a terminal
        int width = 0;                // 0: the terminal's width
    };

    CliHost(std::atomic<bool>& cancel, const RunState& run, Options options);
    CliHost(std::atomic<bool>& cancel, const RunState& run) : CliHost(cancel, run, Options{}) {}
    ~CliHost() override;

    void setStatus(const QString& text) override;
    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) override;
    bool ask(const QString& text, const QString& title = {}) override;
    void setBusy(bool) override {}
    void pollEvents() override;

    // Holds Ctrl-C and termination requests back for pollEvents from now on.
    void catchStopSignals();
    // Takes a pending stop signal at once, without waiting for the check
    // that pollEvents makes only now and then: for the last moment before a
    // file is put in place.
    void checkStopNow();
    // Whether a stop signal cancelled the run.
    bool interrupted() const { return m_interrupted; }
    // The status text last set: at the end of a run, its outcome.
    const QString& lastStatus() const { return m_status; }
    // Removes the progress line, if one is shown.
    void clearLine();
    // A closing line, printed whether or not the output is a terminal.
    void showFinal(const QString& text);

private:
    void draw();
    bool signalCheckDue();
    void print(const QString& text);

    std::atomic<bool>& m_cancel;
    const RunState& m_run;
    std::FILE* m_out;
    bool m_terminal;
    int m_width;
    bool m_lineShown = false;
    QString m_status;
    QElapsedTimer m_sinceStart;
    QElapsedTimer m_sinceDrawn;
    QElapsedTimer m_sinceCheck; // for a pending Ctrl-C; invalid before the first poll
    int m_pollsSinceCheck = 0;
    bool m_signalsBlocked = false;
    bool m_interrupted = false;
};
