#pragma once

#include "settings/settings_store.h"

#include <QProcessEnvironment>
#include <QString>

#include <cstdio>

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
    // Prints every tree, server and volume (with its local root) to out, so
    // a new user finds the names to type. Returns the exit status.
    static int list(const Options& options, std::FILE* out = stdout);
    // Prints the runs the history holds (quarvo --history [/T= /S= /V= /F= /D=]).
    static int history(const QString& switches, const Options& options, std::FILE* out = stdout);
};
