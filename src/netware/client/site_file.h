#pragma once

#include "netware/client/site.h"

#include <QProcessEnvironment>
#include <QString>

#include <stdexcept>

// A site file that cannot be used: where, and what is wrong with it.
class SiteFileError : public std::runtime_error {
public:
    SiteFileError(QString path, int line, QString what);
    const QString& path() const { return m_path; }
    int line() const { return m_line; } // 0 when no line applies
    const QString& what_() const { return m_what; }
    // "<path>:<line>: <what>" (no line part when line is 0)
    QString message() const;

private:
    QString m_path;
    int m_line;
    QString m_what;
};

// Reads the TOML site file that adds trees and servers to what the host has.
class SiteFile {
public:
    // $QUARVO_SITE, else $XDG_CONFIG_HOME/Tessaloom/site.toml (XDG_CONFIG_HOME
    // defaulting to $HOME/.config), else /etc/xdg/Tessaloom/site.toml; the first
    // that is set (QUARVO_SITE) or exists. Empty when there is none.
    static QString locate(const QProcessEnvironment& env,
                          const QString& systemPath = QStringLiteral("/etc/xdg/Tessaloom/site.toml"));

    // Checks the file's bytes (SiteFileGuard::checkBytes), then parses and
    // checks the whole file; throws SiteFileError on the first fault. Reads
    // the file as it is: the program reads it through SiteLoader, which also
    // checks who can change it.
    static Site parse(const QString& path);
    // The same for text already read from the file at path (SiteFileGuard::read):
    // path names it in faults, and relative paths in it start from its folder.
    static Site parse(const QString& path, const QByteArray& text);
};
