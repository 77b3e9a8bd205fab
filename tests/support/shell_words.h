#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// The words a POSIX shell makes of arguments as typed on a command line, one
// per printed line; run in an empty folder, so a pattern matches no file.
inline QStringList shellWords(const QString& arguments) {
    QTemporaryDir empty;
    QProcess shell;
    shell.setWorkingDirectory(empty.path());
    shell.start(QStringLiteral("sh"),
                {QStringLiteral("-c"), QStringLiteral("printf '%s\\n' ") + arguments});
    if (!shell.waitForFinished(30000) || shell.exitCode() != 0) return {};
    QString out = QString::fromUtf8(shell.readAllStandardOutput());
    out.chop(1);
    return out.split(QLatin1Char('\n'));
}

// The line the program reads from the arguments: the shell's words joined by
// blanks, as the program joins them. An example that works pasted into a
// shell gives the example without its quotes.
inline QString throughTheShell(const QString& arguments) {
    return shellWords(arguments).join(QLatin1Char(' '));
}
