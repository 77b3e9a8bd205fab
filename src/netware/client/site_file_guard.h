#pragma once

#include <QByteArray>
#include <QString>

// Checks made on a site file before it is parsed. Each throws SiteFileError.
class SiteFileGuard {
public:
    // The bytes of the site file at path, opened once and read from that
    // descriptor; refused when it is not a regular file or is larger than
    // 16 MiB. Run as root, the site file decides which folders are volumes
    // and who owns what: like sshd with its configuration, only a file that
    // no one but root can change, in folders from "/" down that no one but
    // root can change, is read.
    static QByteArray read(const QString& path);
    // Outside strings and comments a TOML file is ASCII. Bytes above it
    // there are refused with their line: the parser Debian ships misreads
    // some of them instead of refusing them. So is such a character right
    // after a backslash in a multi-line basic string or first after a
    // line-ending one, where that parser's test for blanks is undefined.
    static void checkBytes(const QString& path, const QByteArray& bytes);
};
