#include "ui/main/gui_host.h"

#include <QApplication>
#include <QCursor>
#include <QMainWindow>
#include <QMessageBox>
#include <QStatusBar>

namespace {

constexpr qint64 kPumpIntervalMs = 30;

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
    m_window->statusBar()->showMessage(text);
}

void GuiHost::message(const QString& text, const QString& title, Icon icon) {
    if (m_answerer) {
        m_answerer(text, titleOr(title));
        return;
    }
    QMessageBox box(boxIcon(icon), titleOr(title), text, QMessageBox::Ok, m_window);
    // A message keeps its own pointer, whatever the run shows.
    const bool busy = m_busy;
    setBusy(false);
    box.exec();
    setBusy(busy);
}

bool GuiHost::ask(const QString& text, const QString& title) {
    if (m_answerer)
        return m_answerer(text, titleOr(title));
    const bool busy = m_busy;
    setBusy(false);
    // The questions come before deleting or moving files: a stray Enter answers No.
    const bool yes = QMessageBox::question(m_window, titleOr(title), text, QMessageBox::Yes | QMessageBox::No,
                                           QMessageBox::No) == QMessageBox::Yes;
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
    if (m_sincePump.isValid() && m_sincePump.elapsed() < kPumpIntervalMs)
        return;
    if (m_beforeEvents)
        m_beforeEvents();
    QApplication::processEvents();
    m_sincePump.start();
}
