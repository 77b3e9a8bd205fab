#include "app/command_line_program.h"
#include "batch/syntax_texts.h"
#include "fsview/name_bytes.h"

#include <QCoreApplication>
#include <QLocale>
#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <dlfcn.h>
#include <sys/resource.h>
#include <unistd.h>

namespace {

QString argumentString(int argc, char** argv) {
    QStringList args;
    for (int i = 1; i < argc; ++i)
        args.append(NameBytes::decode(argv[i], qsizetype(std::strlen(argv[i])))); // a name's bytes as they are
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

// Qt finds a display through these; without one it would abort with its own message.
bool displayAvailable() {
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        const char* value = std::getenv(name);
        if (value && *value)
            return true;
    }
    return false;
}

// The folder of the running program, from which the window's library is found.
QByteArray programFolder(const char* argv0) {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    QByteArray self = length > 0 ? QByteArray(path, length) : QByteArray(argv0);
    const qsizetype slash = self.lastIndexOf('/');
    return slash >= 0 ? self.left(slash) : QByteArray(".");
}

// The windows live in a library of their own, loaded only for them, so that
// command-line runs never load Qt Widgets and need no display libraries. It
// lies beside the program in the build tree and in the program's lib folder
// once installed, wherever the prefix is.
template <typename Entry>
Entry windowEntry(const char* argv0, const char* name) {
    const QByteArray folder = programFolder(argv0);
    QStringList reasons;
    for (const QByteArray& library : {folder + "/" QUARVO_GUI_LIBRARY,
                                      folder + "/" QUARVO_GUI_FROM_PROGRAM "/" QUARVO_GUI_LIBRARY}) {
        void* handle = ::dlopen(library.constData(), RTLD_NOW | RTLD_LOCAL);
        if (void* entry = handle ? ::dlsym(handle, name) : nullptr)
            return reinterpret_cast<Entry>(entry);
        reasons.append(QString::fromLocal8Bit(::dlerror()));
    }
    print(stderr, QStringLiteral("quarvo: the window cannot be loaded: ") + reasons.join(QStringLiteral("; ")) +
                      QStringLiteral("\n"));
    return nullptr;
}

int startWindow(int argc, char** argv, bool debugMode) {
    if (!displayAvailable()) {
        print(stderr, QStringLiteral("quarvo: there is no display to open the window on (DISPLAY and "
                                     "WAYLAND_DISPLAY are not set); reports also run from the command "
                                     "line: quarvo --help\n"));
        return 3;
    }
    const auto entry = windowEntry<int (*)(int, char**, int)>(argv[0], "quarvoWindowMain");
    return entry ? entry(argc, argv, debugMode ? 1 : 0) : 3;
}

// "/?": the syntax window where there is a display to show it on, the same
// texts on standard output where there is none (a terminal, ssh, cron).
int showSyntax(int argc, char** argv) {
    if (!displayAvailable()) {
        print(stdout, SyntaxTexts::helpText());
        return 0;
    }
    const auto entry = windowEntry<int (*)(int, char**)>(argv[0], "quarvoSyntaxWindowMain");
    return entry ? entry(argc, argv) : 3;
}

} // namespace

int main(int argc, char** argv) {
    // A write past the file size limit then fails with EFBIG and is reported
    // like any other write error, instead of killing the program mid-file.
    std::signal(SIGXFSZ, SIG_IGN);
    // Walks keep folders open to go on from them; a soft limit below the hard
    // one is only a default, so take what is allowed, as many tools do.
    rlimit files {};
    if (::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < files.rlim_max) {
        files.rlim_cur = files.rlim_max;
        ::setrlimit(RLIMIT_NOFILE, &files);
    }
    const QString args = argumentString(argc, argv);
    const QString upper = args.trimmed().toUpper();
    if (upper == QLatin1String("/?"))
        return showSyntax(argc, argv);
    if (upper == QLatin1String("--HELP") || upper == QLatin1String("-H")) {
        print(stdout, SyntaxTexts::helpText());
        return 0;
    }
    if (upper == QLatin1String("--VERSION")) {
        print(stdout, QStringLiteral("quarvo " QUARVO_VERSION "\n"));
        return 0;
    }
    if (upper.isEmpty() || upper == QLatin1String("/DEBUG")) {
        useLocale();
        return startWindow(argc, argv, !upper.isEmpty());
    }
    QCoreApplication app(argc, argv);
    useLocale();
    if (upper == QLatin1String("--LIST"))
        return CommandLineProgram::list(CommandLineProgram::Options{});
    if (upper == QLatin1String("--HISTORY") || upper.startsWith(QLatin1String("--HISTORY ")))
        return CommandLineProgram::history(args.trimmed().mid(9), CommandLineProgram::Options{});
    return CommandLineProgram::run(args, CommandLineProgram::Options{});
}
