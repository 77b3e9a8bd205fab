// Script lines: sh gives the program exactly the words it was given, and a
// script is written whole, with its first line and run bit when new.
#include "batch/script_file.h"

#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
