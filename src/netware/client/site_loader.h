#pragma once

#include "netware/client/site.h"

#include <QProcessEnvironment>
#include <QString>

// What the workstation sees, read once per process: the host's own tree,
// server and mounted volumes, plus the site file's trees and servers.
class SiteLoader {
public:
    // Throws SiteFileError when the site file cannot be used, also when it is
    // not a regular file or is larger than 16 MiB.
    static Site load(const QProcessEnvironment& env);
    // This host's name as the system calls it.
    static QString hostName();
};
