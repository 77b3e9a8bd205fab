#pragma once

#include <QString>

// What a report needs from its surroundings. The window implements it with
// its status bar, message boxes and event loop; the command-line run prints to
// standard error and never waits; tests record what was said.
class Host {
public:
    enum class Icon { None, Information, Warning, Critical };

    virtual ~Host() = default;
    virtual void setStatus(const QString& text) = 0;
    // A message with an OK button only. An empty title means the program's title.
    virtual void message(const QString& text, const QString& title = {}, Icon icon = Icon::None) = 0;
    // A yes/no question; true for yes.
    virtual bool ask(const QString& text, const QString& title = {}) = 0;
    virtual void setBusy(bool busy) = 0;
    // Lets pending window events run (a press on Stop among them).
    virtual void pollEvents() = 0;
};
