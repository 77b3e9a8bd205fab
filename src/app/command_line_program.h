#pragma once

#include "app/settings_store.h"

#include <QProcessEnvironment>
#include <QString>

// A whole unattended run: loads the site, starts the client, reads the
// delimiter, applies the switches, runs the report, writes the output file.
// Returns the exit status.
class CommandLineProgram {
public:
    struct Options {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        SettingsLocations settings;
    };

    static int run(const QString& argumentString, const Options& options);
};
