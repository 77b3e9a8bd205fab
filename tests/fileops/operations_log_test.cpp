#include "fileops/log_text.h"
#include "fileops/operations_log.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <pwd.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <cstring>

namespace {

// Sets an environment variable (or unsets it, for null) for one test, and
// back after it.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const char* value)
        : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name)) {
        if (value)
            qputenv(name, value);
        else
            qunsetenv(name);
    }
    ~ScopedEnv() {
        if (m_had)
            qputenv(m_name, m_old);
        else
            qunsetenv(m_name);
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* m_name;
    QByteArray m_old;
    bool m_had;
};

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Each line written, without its CR LF.
QList<QByteArray> linesOf(const QString& path) {
    QList<QByteArray> lines = readAll(path).split('\n');
    lines.removeLast();
    for (QByteArray& line : lines)
        line.chop(1);
    return lines;
}

QString byLine() {
    const passwd* entry = ::getpwuid(::geteuid());
    return QStringLiteral("; by ") + (entry ? QString::fromLocal8Bit(entry->pw_name) : QString::number(::geteuid()));
}

std::shared_ptr<const ListedFolderNode> volumeRoot(const QString& server, const QString& volume) {
    auto root = std::make_shared<ListedFolderNode>();
    root->server = server;
    root->volume = volume;
    return root;
}

std::shared_ptr<const ListedFolderNode> below(std::shared_ptr<const ListedFolderNode> parent, const QByteArray& name) {
    return std::make_shared<const ListedFolderNode>(ListedFolderNode{std::move(parent), name, {}, {}, 0, 0});
}

// A path field read back as a reader of the log would: the raw names
// between its separators (the leading ones giving empty names), and what
// follows the field on the line.
struct Field {
    QList<QByteArray> names;
    QByteArray rest;
};

Field readPlain(const QByteArray& text, char separator) {
    qsizetype end = text.size();
    for (const char* after : {";", ",", " TO "}) {
        const qsizetype at = text.indexOf(after);
        if (at >= 0)
            end = std::min(end, at);
    }
    return {text.left(end).split(separator), text.mid(end)};
}

// After the backslash of an escape at text[at]: appends what it stands for
// to name, returns where the next character starts.
qsizetype readEscape(const QByteArray& text, qsizetype at, QByteArray& name) {
    const char kind = text[at];
    if (kind == 'x') {
        name += char(text.mid(at + 1, 2).toInt(nullptr, 16));
        return at + 3;
    }
    if (kind == 'u') {
        name += QString(QChar(text.mid(at + 1, 4).toUShort(nullptr, 16))).toUtf8();
        return at + 5;
    }
    name += kind == 'n' ? '\n' : kind == 'r' ? '\r' : kind;
    return at + 1;
}

Field readField(const QByteArray& text, char separator) {
    if (!text.startsWith('"'))
        return readPlain(text, separator);
    Field field{{QByteArray()}, {}};
    qsizetype at = 1;
    while (at < text.size() && text[at] != '"') {
        if (text[at] == '\\' && text[at + 1] == '\\') {
            field.names.append(QByteArray());
            at += 2;
        } else if (text[at] == '\\') {
            at = readEscape(text, at + 1, field.names.back());
        } else if (text[at] == separator) {
            field.names.append(QByteArray());
            ++at;
        } else {
            field.names.back() += text[at++];
        }
    }
    field.rest = text.mid(at + 1);
    return field;
}

// The field after the first occurrence of what in line.
Field fieldAfter(const QByteArray& line, const char* what, char separator) {
    const qsizetype at = line.indexOf(what);
    return at < 0 ? Field{} : readField(line.mid(at + qsizetype(std::strlen(what))), separator);
}

} // namespace

// A file name may hold a line break followed by what looks like another
// outcome; the log must still show one line for the one deletion.
TEST(OperationsLogText, ControlCharactersInANameCannotStartALineOfTheirOwn) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarvo.log");
    {
        OperationsLog log(path);
        log.open();
        log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\a\n1/1/2024 1:00:00 AM, Deleted \\\\FS1\\VOL1\\payroll.xls"
                                 "\r\x1b[2J\x7f\u009b\tb\u202etxt.exe\u2028"));
        log.close();
        ASSERT_FALSE(log.failed()) << log.error().toStdString();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_EQ(text.count('\r'), 1);
    EXPECT_TRUE(text.endsWith(", Deleted \\\\FS1\\VOL1\\a\\n1/1/2024 1:00:00 AM, Deleted \\\\FS1\\VOL1\\payroll.xls"
                              "\\r\\x1b[2J\\x7f\\x9b\tb\\u202etxt.exe\\u2028" +
                              byLine() + "\r\n"))
        << text.toStdString();
}

// A line that does not fit (here a file size limit, as a full disk would
// do) is taken back whole, and the reason is the system's own.
TEST(OperationsLogText, ALineThatDoesNotFitLeavesTheLogAsItWasAndSaysWhy) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarvo.log");
    OperationsLog log(path);
    log.open();
    log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\a.txt"));
    const qint64 whole = QFileInfo(path).size();
    const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit {};
    ::getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit lowered{rlim_t(whole + 10), limit.rlim_max};
    ::setrlimit(RLIMIT_FSIZE, &lowered);
    log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\") + QString(200, 'b'));
    ::setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldSignal);
    log.close();
    EXPECT_EQ(QFileInfo(path).size(), whole);
    EXPECT_EQ(log.error(), QString::fromLocal8Bit(std::strerror(EFBIG)));
}

// Paths that read only one way are written as the rows show them, whatever
// the case the volume was typed in, with one backslash before a name at the
// volume root too.
TEST(OperationsLogFields, OrdinaryPathsAreWrittenAsTheRowsShowThem) {
    const auto root = volumeRoot("fs1", "vol1");
    const auto jsmith = below(below(root, "USERS"), "JSMITH");
    EXPECT_EQ(LogText::volumePath(*jsmith, "Résumé 2024.doc", ","),
              "\\\\FS1\\VOL1\\USERS\\JSMITH\\Résumé 2024.doc");
    EXPECT_EQ(LogText::volumePath(*root, "root.txt", ","), "\\\\FS1\\VOL1\\root.txt");
    EXPECT_EQ(LogText::volumePath(*jsmith, ","), "\\\\FS1\\VOL1\\USERS\\JSMITH");
    EXPECT_EQ(LogText::localPath("/srv/archive/", {"USERS"}, "report.doc", ","), "/srv/archive/USERS/report.doc");
    EXPECT_EQ(LogText::localPath("/", {}, "report.doc", ","), "/report.doc");
    // The delimiter the log is read with cannot be part of a plain field.
    EXPECT_EQ(LogText::volumePath(*root, "a|b", ","), "\\\\FS1\\VOL1\\a|b");
    EXPECT_EQ(LogText::volumePath(*root, "a|b", "|"), "\"\\\\\\\\FS1\\\\VOL1\\\\a|b\"");
}

// Names that are not UTF-8, hold escapes, line breaks, characters that
// turn the text around, quotes or a whole forged outcome: each gives one
// line whose field leads back to exactly its raw names and ends where the
// writer ended it.
TEST(OperationsLogFields, HostileNamesGiveOneLineEachThatLeadsBackToExactlyTheirNames) {
    const auto root = volumeRoot("FS1", "VOL1");
    const auto folder = below(root, "caf\xe9");
    const QList<QByteArray> names{"caf\xe9",
                                  "caf\xe8",
                                  "a\\nb",
                                  "a\nb",
                                  QStringLiteral("x\u202Ey").toUtf8(),
                                  QStringLiteral("x\u2028y").toUtf8(),
                                  ", Deleted \\\\SRV\\DATA\\payroll.db",
                                  "say \"hi\"; by root",
                                  "a TO b",
                                  "x\\"};
    QTemporaryDir dir;
    OperationsLog log(dir.filePath("Quarvo.log"));
    log.open();
    for (const QByteArray& name : names)
        log.write(QStringLiteral(", Deleted ") + LogText::volumePath(*root, name, ","));
    log.write(QStringLiteral(", Deleted ") + LogText::volumePath(*folder, "x", ","));
    log.close();
    const QList<QByteArray> lines = linesOf(dir.filePath("Quarvo.log"));
    ASSERT_EQ(lines.size(), names.size() + 1);
    for (qsizetype i = 0; i < names.size(); ++i) {
        const Field field = fieldAfter(lines[i], ", Deleted ", '\\');
        EXPECT_EQ(field.names, (QList<QByteArray>{"", "", "FS1", "VOL1", names[i]})) << lines[i].toStdString();
        EXPECT_EQ(field.rest, byLine().toUtf8()) << lines[i].toStdString();
    }
    EXPECT_EQ(fieldAfter(lines.last(), ", Deleted ", '\\').names,
              (QList<QByteArray>{"", "", "FS1", "VOL1", "caf\xe9", "x"}));
}

// A move names two files; " TO " in a name cannot make either end elsewhere.
TEST(OperationsLogFields, AMoveLineLeadsBackToBothFiles) {
    const auto folder = below(volumeRoot("FS1", "VOL1"), "a TO b");
    QTemporaryDir dir;
    OperationsLog log(dir.filePath("Quarvo.log"));
    log.open();
    log.write(QStringLiteral(", Moved ") + LogText::volumePath(*folder, "n\xff", ",") + QStringLiteral(" TO ") +
              LogText::localPath("/srv/archive/", {"a TO b"}, "n\xff", ","));
    log.close();
    const QList<QByteArray> lines = linesOf(dir.filePath("Quarvo.log"));
    ASSERT_EQ(lines.size(), 1);
    const Field source = fieldAfter(lines[0], ", Moved ", '\\');
    EXPECT_EQ(source.names, (QList<QByteArray>{"", "", "FS1", "VOL1", "a TO b", "n\xff"}));
    ASSERT_TRUE(source.rest.startsWith(" TO ")) << lines[0].toStdString();
    const Field destination = readField(source.rest.mid(4), '/');
    EXPECT_EQ(destination.names, (QList<QByteArray>{"", "srv", "archive", "a TO b", "n\xff"}));
    EXPECT_EQ(destination.rest, byLine().toUtf8());
}

TEST(OperationsLogUser, EveryLineEndsInWhoActed) {
    const ScopedEnv sudo("SUDO_USER", nullptr);
    QTemporaryDir dir;
    OperationsLog log(dir.filePath("Quarvo.log"));
    log.open();
    log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\a.txt"));
    log.close();
    const QByteArray line = linesOf(dir.filePath("Quarvo.log")).value(0);
    EXPECT_TRUE(line.endsWith(", Deleted \\\\FS1\\VOL1\\a.txt" + byLine().toUtf8())) << line.toStdString();
}

// Root under sudo is named with the user who ran sudo; the variables say
// nothing for anyone else, who may set them at will.
TEST(OperationsLogUser, RootBySudoNamesItsUserAndAUidWithoutALoginIsItsNumber) {
    const ScopedEnv user("SUDO_USER", "alice");
    const ScopedEnv uid("SUDO_UID", "1001");
    EXPECT_EQ(OperationsLog::actor(0), "root (sudo: alice, uid 1001)");
    constexpr uid_t kNoLogin = 3999999;
    ASSERT_EQ(::getpwuid(kNoLogin), nullptr);
    EXPECT_EQ(OperationsLog::actor(kNoLogin), "3999999");
}

// A link planted at the log's name, leading to a file or to none yet, is
// refused: nothing is written through it or made where it leads.
TEST(OperationsLogFile, ALinkAtItsPlaceIsRefusedAndWhereItLeadsIsLeftAlone) {
    QTemporaryDir dir;
    QFile target(dir.filePath("target"));
    ASSERT_TRUE(target.open(QIODevice::WriteOnly));
    target.write("kept\n");
    target.close();
    for (const char* leadsTo : {"target", "missing"}) {
        const QString path = dir.filePath(QStringLiteral("Quarvo-%1.log").arg(leadsTo));
        ASSERT_TRUE(QFile::link(dir.filePath(leadsTo), path));
        OperationsLog log(path);
        log.open();
        log.write(QStringLiteral(", Deleted \\\\FS1\\VOL1\\a.txt"));
        log.close();
        EXPECT_EQ(log.error(), QString::fromLocal8Bit(std::strerror(ELOOP)));
    }
    EXPECT_EQ(readAll(dir.filePath("target")), "kept\n");
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("missing")));
}

// A FIFO at the log's name would otherwise hold the operation until
// something read it.
TEST(OperationsLogFile, AFifoAtItsPlaceIsRefusedWithoutWaiting) {
    QTemporaryDir dir;
    const QString path = dir.filePath("Quarvo.log");
    ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0644), 0);
    OperationsLog log(path);
    log.open();
    log.close();
    EXPECT_TRUE(log.failed());
}

// An installed program's folder is no place for a log, even where it may be
// written; a folder named bin is not by its name alone an installed one.
TEST(OperationsLogPlace, AnInstalledProgramLogsInTheStateFolder) {
    QTemporaryDir dir;
    const ScopedEnv state("XDG_STATE_HOME", QFile::encodeName(dir.filePath("state")).constData());
    const QString stateLog = dir.path() + "/state/Quarvo/Quarvo.log";
    const QString noSystemFolder = dir.filePath("none");
    const QString bin = dir.path() + "/prefix/bin";
    const QString otherBin = dir.path() + "/other/bin";
    QDir().mkpath(bin);
    QDir().mkpath(otherBin);
    EXPECT_EQ(OperationsLog::pathFor(bin, 1000, noSystemFolder), bin + "/Quarvo.log");
    QDir().mkpath(dir.path() + "/prefix/lib/quarvo");
    QDir().mkpath(dir.path() + "/other/share/man");
    EXPECT_EQ(OperationsLog::pathFor(bin, 1000, noSystemFolder), stateLog);
    EXPECT_EQ(OperationsLog::pathFor(otherBin, 1000, noSystemFolder), stateLog);
    EXPECT_EQ(OperationsLog::pathFor("/usr/bin", 1000, noSystemFolder), stateLog);
}

TEST(OperationsLogPlace, AWritableBuildFolderKeepsItsLogEvenForRoot) {
    QTemporaryDir dir;
    const QString build = dir.filePath("build");
    const QString systemFolder = dir.filePath("var-log-quarvo");
    QDir().mkpath(build);
    QDir().mkpath(systemFolder);
    EXPECT_EQ(OperationsLog::pathFor(build, 0, systemFolder), build + "/Quarvo.log");
}

// Root logs in the system folder when there is one; others in
// $XDG_STATE_HOME, which counts only when absolute, else below the home.
TEST(OperationsLogPlace, RootUsesTheSystemFolderOthersTheirStateFolder) {
    QTemporaryDir dir;
    const ScopedEnv home("HOME", QFile::encodeName(dir.filePath("home")).constData());
    const ScopedEnv state("XDG_STATE_HOME", QFile::encodeName(dir.filePath("state")).constData());
    const QString systemFolder = dir.filePath("var-log-quarvo");
    EXPECT_EQ(OperationsLog::pathFor("/usr/bin", 0, systemFolder), dir.path() + "/state/Quarvo/Quarvo.log");
    QDir().mkpath(systemFolder);
    EXPECT_EQ(OperationsLog::pathFor("/usr/bin", 0, systemFolder), systemFolder + "/Quarvo.log");
    EXPECT_EQ(OperationsLog::pathFor("/usr/bin", 1000, systemFolder), dir.path() + "/state/Quarvo/Quarvo.log");
    const ScopedEnv relative("XDG_STATE_HOME", "state");
    EXPECT_EQ(OperationsLog::pathFor("/usr/bin", 1000, systemFolder),
              dir.path() + "/home/.local/state/Quarvo/Quarvo.log");
}
