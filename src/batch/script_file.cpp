#include "batch/script_file.h"

#include "reports/whole_file_writer.h"

#include <QFileInfo>

#include <cerrno>
#include <cstring>

#include <sys/stat.h>
#include <unistd.h>

QString ScriptFile::shellWord(const QString& text) {
    return QLatin1Char('\'') + QString(text).replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

QString ScriptFile::line(const QString& program, const QStringList& arguments) {
    QStringList words{shellWord(program)};
    for (const QString& argument : arguments)
        words.append(shellWord(argument));
    return words.join(QLatin1Char(' '));
}

QString ScriptFile::addLine(const QString& path, const QString& line, bool append) {
    const QFileInfo before(path);
    const bool fresh = !append || !before.exists() || before.size() == 0;
    QByteArray bytes;
    if (fresh)
        bytes = "#!/bin/sh\n";
    bytes += line.toUtf8() + '\n';
    WholeFileWriter writer;
    // A hand-edited script may end without a line break: the new line must not join its last one.
    writer.setUnfinishedEnd(WholeFileWriter::UnfinishedEnd::EndLine);
    // Run bit for whoever may read it, as chmod +x does; set before the script is in place.
    writer.setExecutable(fresh);
    QString failure = writer.open(path, append ? WholeFileWriter::Mode::Append : WholeFileWriter::Mode::Replace);
    if (failure.isEmpty())
        failure = writer.write(bytes);
    if (failure.isEmpty())
        failure = writer.commit();
    if (!failure.isEmpty())
        writer.abandon();
    return failure;
}

QString ScriptFile::cannotWrite(const QString& path) {
    const QFileInfo file(path);
    const QByteArray target = QFile::encodeName(file.exists() ? path : file.absolutePath());
    if (file.isDir())
        return QStringLiteral("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(EISDIR)));
    if (::access(target.constData(), file.exists() ? W_OK : W_OK | X_OK) != 0)
        return QStringLiteral("Cannot write %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)));
    return {};
}
