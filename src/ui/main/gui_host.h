#pragma once

#include "settings/host.h"
#include "settings/run_state.h"

#include <QElapsedTimer>

#include <functional>

class QMainWindow;
class QWidget;

// The window's side of a report: the status bar, message boxes, the busy
// pointer, and the event loop, which runs at most every 10 ms while a report
// polls and then serves every pending event, so a run is about as fast as
// without the window and still answers a press on Stop, or a screen
// reader's question, at once.
class GuiHost : public Host {
public:
    // beforeEvents runs before pending events are let through: the window
    // shows what the run has changed.
    GuiHost(QMainWindow* window, std::function<void()> beforeEvents);
    ~GuiHost() override;

    void setStatus(const QString& text) override;
    void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) override;
    bool ask(const QString& text, const QString& title = {}) override;
    void setBusy(bool busy) override;
    void pollEvents() override;

    const QString& status() const { return m_status; }

    // While run is in progress the status bar shows how far its walk has
    // come (directories, files, bytes, elapsed time) before the status,
    // refreshed at most every 100 ms.
    void showProgressOf(const RunState* run) { m_run = run; }

    // Answers messages and questions instead of a box (for tests, which have
    // no user): told the text and title, returns the answer to a question.
    using Answerer = std::function<bool(const QString& text, const QString& title)>;
    void setAnswerer(Answerer answerer) { m_answerer = std::move(answerer); }

private:
    QWidget* boxParent() const;
    void showProgress(bool now);

    QMainWindow* m_window;
    const RunState* m_run = nullptr;
    QElapsedTimer m_runClock; // since the run began
    QElapsedTimer m_sinceDrawn;
    std::function<void()> m_beforeEvents;
    Answerer m_answerer;
    QString m_status;
    QElapsedTimer m_sincePump;
    bool m_busy = false;
};
