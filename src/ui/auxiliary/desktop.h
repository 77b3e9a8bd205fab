#pragma once

#include <QString>
#include <QUrl>

// What the windows ask of the desktop: open a web page, a new mail or a
// folder, start a program. One small interface, so tests see what would
// have been opened.
class Desktop {
public:
    virtual ~Desktop() = default;
    virtual bool openUrl(const QUrl& url) = 0;
    virtual bool startProgram(const QString& path) = 0;
    // The first of the named programs found on PATH; empty when none is.
    virtual QString findProgram(const QStringList& names) = 0;
};

// The real desktop, through Qt.
class QtDesktop : public Desktop {
public:
    bool openUrl(const QUrl& url) override;
    bool startProgram(const QString& path) override;
    QString findProgram(const QStringList& names) override;
};
