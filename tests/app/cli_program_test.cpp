// The quarvo executable run as an administrator would run it.
#include "text_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/statvfs.h>
#include <unistd.h>

namespace {

struct Outcome {
    int status = -1;
    QString out;
    QString err;
};

class QuarvoRun : public ::testing::Test {
protected:
    QuarvoRun() {
        env.insert("HOME", dir.path());
        env.insert("XDG_CONFIG_HOME", dir.path() + "/config");
        env.insert("LANG", "en_US.UTF-8");
        env.remove("LC_ALL");
        env.remove("QUARVO_SITE");
    }

    Outcome run(const QStringList& args) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.start(QUARVO_BINARY, args);
        p.waitForFinished(60000);
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()), QString::fromUtf8(p.readAllStandardError())};
    }

    QString writeSite(const QString& text) {
        const QString path = dir.path() + "/site.toml";
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(text.toUtf8());
        env.insert("QUARVO_SITE", path);
        return path;
    }

    QString makeVolume(const QString& name) {
        const QString path = dir.path() + "/volumes/" + name;
        QDir().mkpath(path);
        return path;
    }

    QString out(const QString& name) const { return dir.path() + "/" + name; }

    QTemporaryDir dir;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
};

QString shortHostName() {
    char name[256] = {};
    ::gethostname(name, sizeof name - 1);
    return QString::fromLocal8Bit(name).section('.', 0, 0).toUpper();
}

QString hostTree() {
    QString tree = shortHostName();
    for (QChar& c : tree) {
        if (!(c >= 'A' && c <= 'Z') && !(c >= '0' && c <= '9'))
            c = '_';
    }
    return tree.left(19) + "_TREE";
}

QString megabytes(double bytes) {
    return QString::number(bytes / 1048576.0, 'f', 2);
}

const QString kVolumeHeadings =
    "Run Date,Volume,Size(MB),Used Space(MB),Purgeable(MB),Not Yet Purgeable(MB),Free Space(MB),% Free";

} // namespace

TEST_F(QuarvoRun, HostVolumeWithNoConfigurationMatchesStatvfs) {
    const Outcome o = run({"/T=" + hostTree(), "/F=VOLUME", "/V=\\\\" + shortHostName() + "\\SYS", "/HEADINGS",
                           "/OUTFILE=" + out("v.csv")});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    struct statvfs fs {};
    ASSERT_EQ(::statvfs("/", &fs), 0);
    const QStringList l = readCrlfLines(out("v.csv"));
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[0], kVolumeHeadings);
    const QStringList fields = l[1].split(',');
    ASSERT_EQ(fields.size(), 8);
    EXPECT_EQ(fields[1], "\\\\" + shortHostName() + "\\SYS");
    EXPECT_EQ(fields[2], megabytes(double(fs.f_blocks) * fs.f_frsize));
    EXPECT_NEAR(fields[6].toDouble(), double(fs.f_bavail) * fs.f_frsize / 1048576.0, 64.0);
    EXPECT_TRUE(o.err.contains("Process Complete.")) << o.err.toStdString();
}

TEST_F(QuarvoRun, SiteFileVolumesOfTwoServersAndAMissingOne) {
    writeSite(QString("[[tree]]\nname = \"acme_tree\"\ndirectory = \"inline\"\ndefault = true\n\n"
                      "[[server]]\nname = \"fs1\"\nvolumes = { SYS = \"%1\", VOL1 = \"%2\" }\n\n"
                      "[[server]]\nname = \"FS2\"\nvolumes = { DATA = \"%3\" }\n")
                  .arg(makeVolume("fs1sys"), makeVolume("fs1vol1"), makeVolume("fs2data")));
    const Outcome o = run({"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\fs1\\sys,\\\\FS2\\DATA,\\\\FS2\\NOPE",
                           "/OUTFILE=" + out("sites.csv")});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QStringList l = readCrlfLines(out("sites.csv"));
    ASSERT_EQ(l.size(), 3);
    EXPECT_TRUE(l[0].contains(",\\\\FS1\\SYS,"));
    EXPECT_TRUE(l[1].contains(",\\\\FS2\\DATA,"));
    EXPECT_TRUE(l[2].endsWith(",\\\\FS2\\NOPE,Unavailable,Unavailable,Unavailable,Unavailable,Unavailable,N/A"));
    EXPECT_TRUE(o.err.contains("Total Space: "));
}

TEST_F(QuarvoRun, MissingTreeWritesNothingAndExits1) {
    const Outcome o = run({"/F=VOLUME", "/V=\\\\X\\SYS", "/OUTFILE=" + out("none.csv")});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("You must specify a Tree"));
    EXPECT_FALSE(QFile::exists(out("none.csv")));
}

TEST_F(QuarvoRun, SyntaxNeedsNoClientNorSiteFile) {
    writeSite("this is [not toml");
    const Outcome o = run({"/?"});
    EXPECT_EQ(o.status, 0);
    EXPECT_TRUE(o.out.contains("/T= <Tree>"));
    EXPECT_TRUE(o.out.contains("    DIRECTORY\n"));
    EXPECT_TRUE(o.out.contains("Exit status:"));
    EXPECT_EQ(run({"--help"}).out, o.out);
    EXPECT_TRUE(run({"--version"}).out.startsWith("quarvo "));
}

TEST_F(QuarvoRun, MalformedSiteFileStopsBeforeAnyRun) {
    const QString path = writeSite("[[tree]]\nname = \"A\"\ndirectory = \"inline\"\n\n"
                                   "[tree.objects]\n\"ACME\" = { class = \"Planet\" }\n");
    const Outcome o = run({"/T=A", "/F=VOLUME", "/V=\\\\X\\SYS", "/OUTFILE=" + out("none.csv")});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains(path + ":6:")) << o.err.toStdString();
    EXPECT_FALSE(QFile::exists(out("none.csv")));
}

TEST_F(QuarvoRun, UnwritableOutputFileExits2) {
    const Outcome o = run({"/T=" + hostTree(), "/F=VOLUME", "/V=\\\\" + shortHostName() + "\\SYS",
                           "/OUTFILE=" + out("no/such/dir.csv")});
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.err.contains("Cannot open " + out("no/such/dir.csv"))) << o.err.toStdString();
}

TEST_F(QuarvoRun, ReportsNotYetBuiltExit3) {
    const Outcome o = run({"/T=" + hostTree(), "/F=DIRECTORY", "/D=\\\\" + shortHostName() + "\\SYS\\tmp"});
    EXPECT_EQ(o.status, 3);
    EXPECT_TRUE(o.err.contains("not available")) << o.err.toStdString();
    EXPECT_TRUE(o.err.contains("Process Cancelled!"));
}

TEST_F(QuarvoRun, WithoutOutfileResultsGoToStandardOutputWithTheStoredDelimiter) {
    QSettings settings(dir.path() + "/config/Tessaloom/Quarvo.conf", QSettings::IniFormat);
    settings.setValue("SaveFileDelimiter", ";");
    settings.sync();
    const Outcome o = run({"/T=" + hostTree(), "/F=VOLUME", "/V=\\\\" + shortHostName() + "\\SYS", "/HEADINGS"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QStringList l = o.out.trimmed().split("\r\n");
    ASSERT_EQ(l.size(), 2);
    EXPECT_EQ(l[0], QString(kVolumeHeadings).replace(',', ';'));
    EXPECT_FALSE(o.err.contains("Run Date"));
}

TEST_F(QuarvoRun, AppendWithHeadingsTwiceGivesTwoHeadingLines) {
    const QStringList args = {"/T=" + hostTree(), "/F=VOLUME", "/V=\\\\" + shortHostName() + "\\SYS", "/HEADINGS",
                              "/APPEND", "/OUTFILE=" + out("twice.csv")};
    ASSERT_EQ(run(args).status, 0);
    ASSERT_EQ(run(args).status, 0);
    const QStringList l = readCrlfLines(out("twice.csv"));
    ASSERT_EQ(l.size(), 4);
    EXPECT_EQ(l[0], kVolumeHeadings);
    EXPECT_EQ(l[2], kVolumeHeadings);
}
