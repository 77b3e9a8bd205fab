#pragma once

#include "settings/host.h"

#include <QRegularExpression>
#include <QStringList>

#include <functional>

// Records what a report says and answers questions as told.
class RecordingHost : public Host {
public:
    void setStatus(const QString& text) override { statuses.append(text); }
    void message(const QString& text, const QString& title = {}, Icon = Icon::None) override {
        messages.append(text);
        titles.append(title);
    }
    bool ask(const QString& text, const QString& = {}) override {
        questions.append(text);
        return answer;
    }
    void setBusy(bool busy) override { this->busy = busy; }
    void pollEvents() override {
        ++polls;
        if (onPoll)
            onPoll();
    }

    QStringList statuses;
    QStringList messages;
    QStringList titles;
    QStringList questions;
    bool answer = false;
    bool busy = false;
    int polls = 0;
    std::function<void()> onPoll; // runs on every poll, e.g. to press Stop
};

// A run's closing status without what the run went through ("12
// directories, 30 files, 1.20 MB in 0.3 s", or "1 directory, 1 file, ..."
// for a run stopped at once), which changes from run to run.
inline QString outcomeOf(QString status) {
    static const QRegularExpression covered(
        QStringLiteral("( [0-9,.\\x{a0}]+ director(?:y|ies), [0-9,.\\x{a0}]+ files?, [^ ]+ [A-Za-z]+)? in [0-9.,]+ s\\.?(?= |$)"));
    return status.remove(covered);
}
