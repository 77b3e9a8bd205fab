// Script lines: sh gives the program exactly the words it was given, and a
// script is written whole, with its first line and run bit when new.
#include "batch/script_file.h"

#include "scoped_tmpfs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

TEST(ScriptFile, ShHandsTheProgramEachWordAsItWasGiven) {
    QTemporaryDir dir;
    const QStringList words{"%s|",        "a b'c$(touch marker)d`e;f", "'",   "''x'", "",
                            " lead\ttab", "new\nline",                 "\\$HOME", "\"q\"", "Zürich*?"};
    const QString program = "/usr/bin/printf";
    ASSERT_TRUE(QFileInfo(program).isExecutable());
    QProcess sh;
    sh.setWorkingDirectory(dir.path());
    sh.start("sh", {"-c", ScriptFile::line(program, words)});
    ASSERT_TRUE(sh.waitForFinished());
    QString expected;
    for (const QString& word : words.mid(1))
        expected += word + "|";
    EXPECT_EQ(QString::fromUtf8(sh.readAllStandardOutput()), expected);
    EXPECT_FALSE(QFile::exists(dir.filePath("marker")));
}

TEST(ScriptFile, ANewScriptStartsWithShAndRunsAnAppendedOneGrows) {
    QTemporaryDir dir;
    const QString path = dir.filePath("runs.sh");
    ASSERT_EQ(ScriptFile::addLine(path, "'/bin/echo' 'one'", true), "");
    ASSERT_EQ(ScriptFile::addLine(path, "'/bin/echo' 'two'", true), "");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "#!/bin/sh\n'/bin/echo' 'one'\n'/bin/echo' 'two'\n");
    QProcess run;
    run.start(path, {});
    ASSERT_TRUE(run.waitForFinished());
    EXPECT_EQ(run.readAllStandardOutput(), "one\ntwo\n");
    ASSERT_EQ(ScriptFile::addLine(path, "'/bin/echo' 'three'", false), "");
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "#!/bin/sh\n'/bin/echo' 'three'\n");
    EXPECT_NE(ScriptFile::cannotWrite(dir.path()), "");
    EXPECT_EQ(ScriptFile::cannotWrite(dir.filePath("new.csv")), "");
}

// A hand-edited script whose last line has no line break gets one before
// the new line, so sh runs both; a new script never lets group or others
// write to it, whatever the umask.
TEST(ScriptFile, AnAddedLineNeverJoinsTheLastOneAndAScriptStaysOnlyItsOwnersToChange) {
    QTemporaryDir dir;
    const QString path = dir.filePath("runs.sh");
    QFile edited(path);
    ASSERT_TRUE(edited.open(QIODevice::WriteOnly));
    edited.write("#!/bin/sh\n'/bin/echo' 'one'");
    edited.close();
    ASSERT_EQ(ScriptFile::addLine(path, "'/bin/echo' 'two'", true), "");
    QProcess sh;
    sh.start("sh", {path});
    ASSERT_TRUE(sh.waitForFinished());
    EXPECT_EQ(sh.readAllStandardOutput(), "one\ntwo\n");
    const mode_t saved = ::umask(0);
    const QString fresh = dir.filePath("cron.sh");
    const QString added = ScriptFile::addLine(fresh, "'/bin/echo' 'x'", false);
    ::umask(saved);
    ASSERT_EQ(added, "");
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(fresh).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

// A disk too full for the line: the script stays as it was, to the byte.
TEST(ScriptFile, ALineThatDoesNotFitLeavesTheScriptAsItWas) {
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("full"));
    ScopedTmpfs tmpfs(QFile::encodeName(dir.filePath("full")), "64k");
    if (!tmpfs.mounted())
        GTEST_SKIP() << tmpfs.why().toStdString();
    const QString path = dir.filePath("full/runs.sh");
    ASSERT_EQ(ScriptFile::addLine(path, "'/bin/echo' 'one'", true), "");
    const QString huge = "'/bin/echo' '" + QString(200000, 'x') + "'";
    EXPECT_TRUE(ScriptFile::addLine(path, huge, true).contains("No space left on device"));
    EXPECT_TRUE(ScriptFile::addLine(path, huge, false).contains("No space left on device"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), "#!/bin/sh\n'/bin/echo' 'one'\n");
    EXPECT_EQ(QDir(dir.filePath("full")).entryList(QDir::Files), QStringList{"runs.sh"});
}
