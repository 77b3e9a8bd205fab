#include "ui/main/gui_host.h"

#include "app/progress_line.h"
#include "fsview/name_bytes.h"

#include <QAbstractEventDispatcher>
#include <QApplication>
#include <QCursor>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

namespace {

constexpr qint64 kPumpIntervalMs = 10;
constexpr int kPumpPasses = 32;
constexpr qint64 kProgressIntervalMs = 100;
constexpr int kProgressWidth = 1024; // characters: the status bar cuts what it cannot show

QString titleOr(const QString& title) {
    return title.isEmpty() ? QStringLiteral("Quarvo") : title;
}

QMessageBox::Icon boxIcon(Host::Icon icon) {
    switch (icon) {
    case Host::Icon::Information: return QMessageBox::Information;
    case Host::Icon::Warning: return QMessageBox::Warning;
    case Host::Icon::Critical: return QMessageBox::Critical;
    case Host::Icon::None: break;
    }
    return QMessageBox::NoIcon;
}

} // namespace

GuiHost::GuiHost(QMainWindow* window, std::function<void()> beforeEvents)
    : m_window(window), m_beforeEvents(std::move(beforeEvents)) {}

GuiHost::~GuiHost() {
    setBusy(false);
}

void GuiHost::setStatus(const QString& text) {
    m_status = text;
    if (m_run && m_run->inProgress) {
        showProgress(false);
        return;
    }
    m_runClock.invalidate();
    m_window->statusBar()->showMessage(NameBytes::shown(text));
}

void GuiHost::showProgress(bool now) {
    if (!m_runClock.isValid())
        m_runClock.start();
    if (!now && m_sinceDrawn.isValid() && m_sinceDrawn.elapsed() < kProgressIntervalMs)
        return;
    m_window->statusBar()->showMessage(
        NameBytes::shown(ProgressLine::text(m_run->progress, m_runClock.elapsed(), m_status, kProgressWidth)));
    m_sinceDrawn.start();
}

void GuiHost::message(const QString& text, const QString& title, Icon icon) {
    if (m_answerer) {
        m_answerer(text, titleOr(title));
        return;
    }
    QMessageBox box(boxIcon(icon), titleOr(title), NameBytes::shown(text), QMessageBox::Ok, boxParent());
    // A message keeps its own pointer, whatever the run shows.
    const bool busy = m_busy;
    setBusy(false);
    box.exec();
    setBusy(busy);
}

// A message belongs over the window the user is looking at: the login or
// another dialog open before the main window shows, else the main window.
QWidget* GuiHost::boxParent() const {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal;
    if (m_window && m_window->isVisible())
        return m_window;
    if (QWidget* active = QApplication::activeWindow())
        return active;
    return m_window;
}

bool GuiHost::ask(const QString& text, const QString& title) {
    if (m_answerer)
        return m_answerer(text, titleOr(title));
    const bool busy = m_busy;
    setBusy(false);
    // The questions come before deleting or moving files: a stray Enter answers No.
    const bool yes = QMessageBox::question(boxParent(), titleOr(title), NameBytes::shown(text),
                                           QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
    setBusy(busy);
    return yes;
}

void GuiHost::setBusy(bool busy) {
    if (busy == m_busy)
        return;
    m_busy = busy;
    if (busy)
        QApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    else
        QApplication::restoreOverrideCursor();
}

void GuiHost::pollEvents() {
    if (m_run && m_run->inProgress)
        showProgress(false);
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs)
        return;
    if (m_beforeEvents)
        m_beforeEvents();
    // Every pending event, and those their handlers post in turn (a screen
    // reader's questions come one after another), not one pass of them.
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    for (int pass = 0; pass < kPumpPasses; ++pass) {
        QCoreApplication::sendPostedEvents();
        if (!dispatcher || !dispatcher->processEvents(QEventLoop::AllEvents))
            break;
    }
    m_sincePump.start();
}
