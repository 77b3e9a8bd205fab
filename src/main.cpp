#include "app/command_line_program.h"
#include "batch/syntax_texts.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <cstdio>

namespace {

QString argumentString(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(QString::fromLocal8Bit(argv[i]));
    return args.join(QLatin1Char(' '));
}

void print(std::FILE* out, const QString& text) {
    std::fputs(text.toUtf8().constData(), out);
}

// A machine without a locale setting reads and writes dates and numbers the
// US English way rather than in the bare C locale.
void useLocale() {
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

} // namespace

int main(int argc, char** argv) {
    const QString args = argumentString(argc, argv);
    const QString upper = args.trimmed().toUpper();
    if (upper == QLatin1String("/?") || upper == QLatin1String("--HELP") || upper == QLatin1String("-H")) {
        print(stdout, SyntaxTexts::helpText());
        return 0;
    }
    if (upper == QLatin1String("--VERSION")) {
        print(stdout, QStringLiteral("quarvo " QUARVO_VERSION "\n"));
        return 0;
    }
    if (upper.isEmpty() || upper == QLatin1String("/DEBUG")) {
        print(stderr, QStringLiteral("quarvo: the Quarvo window is not part of this build yet; "
                                     "run a report from the command line (quarvo --help).\n"));
        return 3;
    }
    QCoreApplication app(argc, argv);
    useLocale();
    if (upper == QLatin1String("--LIST"))
        return CommandLineProgram::list(CommandLineProgram::Options{});
    return CommandLineProgram::run(args, CommandLineProgram::Options{});
}
