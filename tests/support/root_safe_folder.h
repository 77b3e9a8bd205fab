#pragma once

#include <QString>

// A QTemporaryDir template for files a run as root must trust (a site file,
// a password file): every folder from "/" down to it is root's and writable
// by no one else. /tmp is not, so as root the folder goes below the build
// folder when that one qualifies, else below root's home; otherwise into the
// usual temporary folder.
QString rootSafeTemplate();
