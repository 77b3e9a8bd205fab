#pragma once

#include "reports/report_env.h"

#include <QString>
#include <QStringList>

// The start directory of a Directory, File or Date run, from /D= as typed:
// a volume path \\SERVER\VOLUME\DIR... (server and volume names without
// regard to case, the rest as typed; \\SERVER\VOLUME alone is the volume's
// root) or a local absolute path inside a volume. It must exist and be a
// directory that opens before any walk starts.
class StartDirectory {
  public:
    struct Place {
        QString server; // as the site spells it
        QString volume;
        QString path; // \\SERVER\VOLUME\ for the root, else \\SERVER\VOLUME\DIR\SUB
    };

    // Throws CommandLineError saying what is wrong and what exists. \xHH
    // (80 to FF) may stand for a byte of a name that is not UTF-8; where the
    // path as typed leads to a directory, though, it is taken as typed.
    static Place find(const QString& typed, ReportEnv& env);

  private:
    struct Parts {
        QString server;
        QString volume;
        QStringList dirs;
    };
    static Place findAsTyped(const QString& typed, ReportEnv& env);
    static Parts partsOf(const QString& typed, const Site& site);
    static Parts fromLocalPath(const QString& path, const Site& site);
    static void checkReachable(const Parts& parts, const QString& path, ReportEnv& env);
    static QString whyUnreachable(const Parts& parts, const QString& error, ReportEnv& env);
};
