// The program installed as a package would install it, into a prefix of its own.
#include "batch/syntax_texts.h"

#include <QDir>
#include <QFile>
#include <QLockFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

Outcome runProgram(const QString& program, const QStringList& args,
                   const QProcessEnvironment& env) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(60000)) p.kill();
    p.waitForFinished();
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
            QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}

QProcessEnvironment withoutDisplay() {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(QString::fromLatin1(name));
    return env;
}

// The tests here build and install the same build tree; one at a time does.
class BuildTreeLock {
  public:
    BuildTreeLock() : m_file(QUARVO_BUILD_DIR "/installed_program_test.lock") {
        m_file.setStaleLockTime(0); // only a lock whose holder is gone is stale
        m_file.lock();
    }

  private:
    QLockFile m_file;
};

Outcome install(const QString& prefix) {
    return runProgram("cmake", {"--install", QUARVO_BUILD_DIR, "--prefix", prefix},
                      QProcessEnvironment::systemEnvironment());
}

class InstalledProgram : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        prefix = new QTemporaryDir;
        const BuildTreeLock lock;
        const Outcome o = install(prefix->path());
        ASSERT_EQ(o.status, 0) << o.out.toStdString() << o.err.toStdString();
    }
    static void TearDownTestSuite() { delete prefix; }
    static QString installed(const QString& path) { return prefix->filePath(path); }
    static QString program() { return installed("bin/quarvo"); }
    // The installed page as man renders it, wide enough for every line.
    static QString manualPage() {
        QProcessEnvironment env = withoutDisplay();
        env.insert("MANWIDTH", "200");
        env.insert("LC_ALL", "C.UTF-8");
        const Outcome page = runProgram("man", {"-l", installed("share/man/man1/quarvo.1")}, env);
        EXPECT_EQ(page.status, 0) << "man-db is needed: " << page.err.toStdString();
        EXPECT_EQ(page.err, "");
        return page.out;
    }

    static inline QTemporaryDir* prefix = nullptr;
};

} // namespace

// As after ./run, which builds the program alone: the install finds
// everything it installs, the manual page included.
TEST(InstalledBuild, InstallsAfterBuildingOnlyTheProgram) {
    const BuildTreeLock lock;
    QFile::remove(QUARVO_BUILD_DIR "/quarvo.1");
    const Outcome built = runProgram("cmake", {"--build", QUARVO_BUILD_DIR, "--target", "quarvo"},
                                     QProcessEnvironment::systemEnvironment());
    ASSERT_EQ(built.status, 0) << built.out.toStdString() << built.err.toStdString();
    QTemporaryDir prefix;
    const Outcome installed = install(prefix.path());
    EXPECT_EQ(installed.status, 0) << installed.out.toStdString() << installed.err.toStdString();
    EXPECT_TRUE(QFile::exists(prefix.filePath("share/man/man1/quarvo.1")));
}

TEST_F(InstalledProgram, RunsFromItsPrefixWithADesktopEntryAndIcon) {
    const Outcome version = runProgram(program(), {"--version"}, withoutDisplay());
    EXPECT_EQ(version.status, 0) << version.err.toStdString();
    EXPECT_EQ(version.out, "quarvo " QUARVO_VERSION "\n");
    const Outcome validation =
        runProgram("desktop-file-validate", {installed("share/applications/quarvo.desktop")},
                   withoutDisplay());
    EXPECT_EQ(validation.status, 0) << "desktop-file-utils is needed";
    EXPECT_EQ(validation.out + validation.err, "");
    QFile icon(installed("share/icons/hicolor/scalable/apps/quarvo.svg"));
    ASSERT_TRUE(icon.open(QIODevice::ReadOnly));
    EXPECT_TRUE(icon.readAll().contains("<svg"));
}

// Every switch --help names is in the rendered manual page, and its examples
// keep their backslashes and quotes.
TEST_F(InstalledProgram, ManualPageHoldsEverySwitchOfHelp) {
    const QString help = runProgram(program(), {"--help"}, withoutDisplay()).out;
    QStringList switches;
    for (const QRegularExpressionMatch& match :
         QRegularExpression("(?<![\\w\\\\/-])(/[A-Za-z]+=?|--?[a-z]+)").globalMatch(help))
        if (!switches.contains(match.captured(1))) switches.append(match.captured(1));
    ASSERT_GE(switches.size(), 20) << switches.join(' ').toStdString();
    const QString page = manualPage();
    for (const QString& name : switches)
        EXPECT_TRUE(page.contains(name)) << name.toStdString();
    EXPECT_TRUE(page.contains("'/C=MyTree\\MyOrg\\MyOU' /OWNER=GROUP=MyGroupofUsers "
                              "'/OUTFILE=/srv/reports/owner.csv' /APPEND"));
    EXPECT_TRUE(page.contains("           ALL-SUB - All Owners, Exclude Subdirectories"));
}

// Past the switches: the exit statuses, the environment variables read and
// the files used, each in a section of its own.
TEST_F(InstalledProgram, ManualPageSaysTheExitStatusesTheEnvironmentAndTheFiles) {
    const QString page = manualPage();
    const QStringList sections = page.split(QRegularExpression("\n(?=[A-Z][A-Z ]+\n)"));
    const auto section = [&](const QString& title) {
        for (const QString& text : sections)
            if (text.startsWith(title + "\n")) return text;
        return QString();
    };
    const QString exits = section("EXIT STATUS");
    for (const SyntaxTexts::ExitStatus& exit : SyntaxTexts::exitStatuses())
        EXPECT_TRUE(exits.simplified().contains(
            QString("%1 %2").arg(exit.status).arg(exit.lines.join(' '))))
            << exit.status << " in: " << exits.toStdString();
    const QString environment = section("ENVIRONMENT");
    for (const char* name : {"QUARVO_SITE", "XDG_CONFIG_HOME", "XDG_STATE_HOME", "DISPLAY"})
        EXPECT_TRUE(environment.contains(name)) << name << " in: " << environment.toStdString();
    const QString files = section("FILES");
    for (const char* path : {"$XDG_CONFIG_HOME/Tessaloom/site.toml", "/etc/xdg/Tessaloom/site.toml",
                             "~/.config/Tessaloom/Quarvo.conf", "/etc/xdg/Tessaloom/Quarvo.conf",
                             "$XDG_STATE_HOME/Quarvo/Quarvo.log", "/var/log/quarvo/Quarvo.log"})
        EXPECT_TRUE(files.contains(path)) << path << " in: " << files.toStdString();
    EXPECT_TRUE(section("NOTES").contains("quarvo -h (or --help) prints this help"));
}

// "/?": the texts on standard output without a display, the syntax window
// where there is one, loaded from the prefix's own library.
TEST_F(InstalledProgram, SlashQuestionMarkPrintsWithoutADisplayAndOpensTheWindowWithOne) {
    const Outcome printed = runProgram(program(), {"/?"}, withoutDisplay());
    EXPECT_EQ(printed.status, 0);
    EXPECT_EQ(printed.out, SyntaxTexts::helpText());

    QProcessEnvironment offscreen = withoutDisplay();
    offscreen.insert("QT_QPA_PLATFORM", "offscreen");
    QProcess modal;
    modal.setProcessEnvironment(offscreen);
    modal.start(program(), {"/?"});
    ASSERT_TRUE(modal.waitForStarted());
    EXPECT_FALSE(modal.waitForFinished(3000))
        << "ended instead of waiting in the window: " << modal.readAllStandardError().toStdString();
    modal.kill();
    modal.waitForFinished();
    EXPECT_EQ(modal.readAllStandardOutput(), "");

    if (QStandardPaths::findExecutable("xvfb-run").isEmpty() ||
        QStandardPaths::findExecutable("xwininfo").isEmpty())
        GTEST_SKIP() << "xvfb-run and xwininfo (xvfb, x11-utils) are needed for the X window check";
    // On an X server the window appears with its caption; then it is closed.
    const QString script = R"("$0" "/?" & pid=$!
for i in $(seq 100); do
  if xwininfo -root -tree | grep -q '"Syntax"'; then kill $pid; exit 0; fi
  sleep 0.1
done
kill $pid; exit 1)";
    const Outcome x =
        runProgram("xvfb-run", {"-a", "sh", "-c", script, program()}, withoutDisplay());
    EXPECT_EQ(x.status, 0) << "no window captioned Syntax: " << x.err.toStdString();
}
