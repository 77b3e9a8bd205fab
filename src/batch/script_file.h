#pragma once

#include <QString>
#include <QStringList>

// A shell script of program runs, one line per run. Each argument is one
// single-quoted word, so sh hands the program exactly the words given and
// nothing in a path or name runs as a command. Lines end in LF, as sh needs.
class ScriptFile {
public:
    // 'text', a single quote inside written '\''.
    static QString shellWord(const QString& text);
    // The program's absolute path, then each argument, as shell words.
    static QString line(const QString& program, const QStringList& arguments);

    // Adds line at the end of the script at path, or replaces the script by
    // it. A script that is new (or empty) starts with "#!/bin/sh" and gets
    // the run bit. The script is left whole or as it was: empty when done,
    // else "Cannot ... PATH: reason".
    static QString addLine(const QString& path, const QString& line, bool append);

    // Why a report could not write its output file at path ("Cannot write
    // PATH: Permission denied"); empty when it could. Nothing is created.
    static QString cannotWrite(const QString& path);
};
