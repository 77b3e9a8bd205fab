// The quarvo executable run as an administrator would run it.
#include "root_safe_folder.h"
#include "scoped_tmpfs.h"
#include "text_files.h"
#include "tree_builder.h"

#include "reports/ncdu_scan.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>

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
        // As from cron or ssh: "/?" prints its texts only where no window can open.
        for (const char* display : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(display);
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

    QTemporaryDir dir{rootSafeTemplate()};
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
    // A user's earlier output, replaced by a run as root, stays the user's.
    const bool root = ::geteuid() == 0;
    if (root) {
        QFile earlier(out("v.csv"));
        ASSERT_TRUE(earlier.open(QIODevice::WriteOnly));
        earlier.close();
        ASSERT_EQ(::chown(QFile::encodeName(out("v.csv")).constData(), 1234, 5678), 0);
        ASSERT_EQ(::chmod(QFile::encodeName(out("v.csv")).constData(), 0640), 0);
    }
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
    struct stat st {};
    if (root) {
        ASSERT_EQ(::stat(QFile::encodeName(out("v.csv")).constData(), &st), 0);
        EXPECT_TRUE(st.st_uid == 1234 && st.st_gid == 5678 && (st.st_mode & 07777) == 0640);
    }
    EXPECT_EQ(fields[2], megabytes(double(fs.f_blocks) * fs.f_frsize));
    EXPECT_NEAR(fields[6].toDouble(), double(fs.f_bavail) * fs.f_frsize / 1048576.0, 64.0);
    EXPECT_TRUE(o.err.contains("Process Complete.")) << o.err.toStdString();
}

TEST_F(QuarvoRun, SiteFileVolumesOfTwoServersAndAMissingOneRefused) {
    writeSite(QString("[[tree]]\nname = \"acme_tree\"\ndirectory = \"inline\"\ndefault = true\n\n"
                      "[[server]]\nname = \"fs1\"\nvolumes = { SYS = \"%1\", VOL1 = \"%2\" }\n\n"
                      "[[server]]\nname = \"FS2\"\nvolumes = { DATA = \"%3\" }\n")
                  .arg(makeVolume("fs1sys"), makeVolume("fs1vol1"), makeVolume("fs2data")));
    const Outcome o = run({"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\fs1\\sys,\\\\FS2\\DATA", "/OUTFILE=" + out("sites.csv")});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QStringList l = readCrlfLines(out("sites.csv"));
    ASSERT_EQ(l.size(), 2);
    EXPECT_TRUE(l[0].contains(",\\\\FS1\\SYS,"));
    EXPECT_TRUE(l[1].contains(",\\\\FS2\\DATA,"));
    EXPECT_TRUE(o.err.contains("Total Space: "));
    // A volume or server that does not exist is a typing mistake, not an "Unavailable" row; so is
    // a path whose backslashes an unquoted shell took.
    for (const auto& [volumes, why] : {std::pair<QString, QString>{"\\\\FS2\\DATA,\\\\FS2\\NOPE",
                                                                   "There is no volume NOPE on server FS2 (volumes: DATA)."},
                                       {"\\\\FS9\\DATA", "There is no server FS9 (servers: "},
                                       {"\\FS1SYS", "\\FS1SYS is not one"}}) {
        const Outcome refused = run({"/T=ACME_TREE", "/F=VOLUME", "/V=" + volumes, "/OUTFILE=" + out("no.csv")});
        EXPECT_EQ(refused.status, 1) << volumes.toStdString();
        EXPECT_TRUE(refused.err.contains(why)) << refused.err.toStdString();
        EXPECT_FALSE(QFile::exists(out("no.csv")));
    }
}

// The nightly run when a disk failed to mount: its folder is no volume.
TEST_F(QuarvoRun, ASiteVolumeWithNothingMountedOnItsFolderIsUnavailable) {
    const QString scratch = makeVolume("scratch");
    writeSite(QString("[[tree]]\nname = \"ACME_TREE\"\ndefault = true\n\n[[server]]\nname = \"FS1\"\n"
                      "volumes = { VOL1 = \"%1\", SCRATCH = { path = \"%2\", mount_point = true } }\n")
                  .arg(makeVolume("vol1"), scratch));
    const Outcome volumes = run({"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\FS1\\VOL1,\\\\FS1\\SCRATCH", "/OUTFILE=-"});
    ASSERT_EQ(volumes.status, 0) << volumes.err.toStdString();
    const QStringList l = volumes.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(l.size(), 2) << volumes.out.toStdString();
    EXPECT_FALSE(l[0].contains("Unavailable")) << l[0].toStdString();
    EXPECT_TRUE(l[1].endsWith(",\\\\FS1\\SCRATCH,Unavailable,Unavailable,Unavailable,Unavailable,Unavailable,N/A"))
        << l[1].toStdString();

    const Outcome directory = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\SCRATCH", "/ALLSUBS", "/OUTFILE=-"});
    EXPECT_EQ(directory.status, 1);
    EXPECT_TRUE(directory.err.contains("\\\\FS1\\SCRATCH is not mounted (nothing is mounted on " + scratch + ")"))
        << directory.err.toStdString();
    EXPECT_EQ(directory.out, "");
    EXPECT_TRUE(run({"--list"}).out.contains(scratch + "  (not mounted)\n"));
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

namespace {

// The syntax help's examples, pointed at a local volume.
class SyntaxExamples : public QuarvoRun {
protected:
    void SetUp() override {
        const QString vol = makeVolume("vol1");
        QDir().mkpath(vol + "/MyDirectory/sub1");
        QDir().mkpath(vol + "/MyDirectory/sub2");
        for (const auto& [path, size] : {std::pair{"/MyDirectory/top.txt", 10}, std::pair{"/MyDirectory/sub1/a.log", 1048576},
                                         std::pair{"/MyDirectory/sub2/b.txt", 2048}}) {
            QFile file(vol + path);
            file.open(QIODevice::WriteOnly);
            file.resize(size);
        }
        writeSite(QString("[[tree]]\nname = \"MyTree\"\ndirectory = \"inline\"\ndefault = true\n\n"
                          "[[server]]\nname = \"MyServer\"\nvolumes = { VOL1 = \"%1\" }\n")
                      .arg(vol));
    }
    QStringList rows(const QStringList& args) {
        const Outcome o = run(args + QStringList{"/OUTFILE=" + out("r.csv")});
        EXPECT_EQ(o.status, 0) << o.err.toStdString();
        QStringList result;
        for (const QString& line : readCrlfLines(out("r.csv")))
            result.append(line.section(',', 1)); // without the run date
        return result;
    }
};

} // namespace

TEST_F(SyntaxExamples, DirectoryImmediateSubDirectories) {
    EXPECT_EQ(rows({"/T=MyTree", "/F=DIRECTORY", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/IMMSUBS", "/HEADINGS"}),
              (QStringList{"Server,Volume,Directory,Size(MB)", "MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory\\sub1,1.00",
                           "MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory\\sub2,0.00"}));
}

TEST_F(SyntaxExamples, DirectoryAllSubDirectories) {
    EXPECT_EQ(rows({"/T=MyTree", "/F=DIRECTORY", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/ALLSUBS"}),
              (QStringList{"MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory,0.00",
                           "MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory\\sub1,1.00",
                           "MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory\\sub2,0.00"}));
}

TEST_F(SyntaxExamples, FilePattern) {
    const QStringList r = rows({"/T=MyTree", "/F=FILE", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/PATTERN=*", "/HEADINGS"});
    ASSERT_EQ(r.size(), 4);
    EXPECT_EQ(r[0], "Server,Volume,Directory,File,Owner,Size,Date,Time");
    EXPECT_TRUE(r[1].startsWith("MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory,top.txt,"));
    EXPECT_TRUE(r[2].startsWith("MYSERVER,VOL1,\\\\MYSERVER\\VOL1\\MyDirectory\\sub1,a.log,"));
    EXPECT_TRUE(r[2].contains(",1048576,"));
}

TEST_F(SyntaxExamples, FileSizeAndLogPattern) {
    EXPECT_EQ(rows({"/T=MyTree", "/F=FILE", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/SIZE", "GT", "0.5"}).size(), 1);
    EXPECT_EQ(rows({"/T=MyTree", "/F=FILE", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/PATTERN=*.LOG"}).size(), 1);
}

TEST_F(SyntaxExamples, DateOlderThanAndIsoDates) {
    // Everything was written today: nothing is older than 2003, all is newer.
    EXPECT_EQ(rows({"/T=MyTree", "/F=DATE", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/OPT=MODIFY", "/OLDERTHAN=09/29/2003"}),
              QStringList{});
    EXPECT_EQ(rows({"/T=MyTree", "/F=DATE", "/D=\\\\MyServer\\VOL1\\MyDirectory", "/OPT=MODIFY", "/NEWERTHAN=2003-09-29"})
                  .size(),
              3);
}

namespace {

// An inline tree with one server whose volume VOL1 holds a few directories,
// and an output file left by an earlier run.
class SiteRun : public QuarvoRun {
protected:
    void SetUp() override {
        vol1 = makeVolume("vol1");
        for (const char* d : {"/USERS/jsmith", "/USERS/bjones", "/DATA"})
            QDir().mkpath(vol1 + d);
        QFile file(vol1 + "/USERS/jsmith/notes.txt");
        file.open(QIODevice::WriteOnly);
        file.write("hello");
        file.close();
        site = writeSite(QString("[[tree]]\nname = \"ACME_TREE\"\ndirectory = \"inline\"\ndefault = true\n\n"
                                 "[[server]]\nname = \"FS1\"\nvolumes = { VOL1 = \"%1\" }\n")
                             .arg(vol1));
        previous = out("report.csv");
        QFile old(previous);
        old.open(QIODevice::WriteOnly);
        old.write("yesterday's report\r\n");
    }

    QByteArray previousContents() const {
        QFile file(previous);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }

    // The files in the output's folder, but for the site file and the volumes.
    QStringList outputFolder() const {
        QStringList files = QDir(dir.path()).entryList(QDir::Files);
        files.removeAll("site.toml");
        return files;
    }

    QString vol1;
    QString site;
    QString previous;
};

} // namespace

TEST_F(SiteRun, AnUnknownSwitchStopsNamingTheNearestAndLeavesTheOutput) {
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1\\USERS", "/ALLSUBS", "/HEADING",
                           "/OUTFILE=" + previous});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "quarvo: Unknown switch /HEADING; did you mean /HEADINGS?\n");
    EXPECT_EQ(previousContents(), "yesterday's report\r\n");
}

TEST_F(SiteRun, AMistypedOutfileDoesNotSendTheRowsElsewhere) {
    const Outcome o = run({"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\FS1\\VOL1", "/OUTFLE=" + out("v.csv")});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("Unknown switch /OUTFLE=; did you mean /OUTFILE=?")) << o.err.toStdString();
    EXPECT_EQ(o.out, "");
}

TEST_F(SiteRun, AFileRunBelowAMissingDirectoryStopsAndLeavesTheOutput) {
    const Outcome o = run({"/T=ACME_TREE", "/F=FILE", "/D=\\\\FS1\\VOL1\\USERS\\nobody", "/PATTERN=*",
                           "/OUTFILE=" + previous});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "quarvo: \\\\FS1\\VOL1\\USERS\\nobody does not exist (\\\\FS1\\VOL1\\USERS holds: bjones, jsmith).\n");
    EXPECT_EQ(previousContents(), "yesterday's report\r\n");
    EXPECT_EQ(outputFolder(), QStringList{"report.csv"});
}

TEST_F(SiteRun, AllSubDirectoriesBelowAMissingDirectoryStopsAndLeavesTheOutput) {
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1\\NOPE", "/ALLSUBS", "/OUTFILE=" + previous});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("\\\\FS1\\VOL1\\NOPE does not exist (\\\\FS1\\VOL1\\ holds: DATA, USERS)"))
        << o.err.toStdString();
    EXPECT_EQ(previousContents(), "yesterday's report\r\n");
}

TEST_F(SiteRun, AStartDirectoryThatLeavesItsVolumeSaysSo) {
    ASSERT_TRUE(QFile::link(dir.path(), vol1 + "/OUTSIDE"));
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1\\OUTSIDE", "/ALLSUBS", "/OUTFILE=" + previous});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("leaves its volume")) << o.err.toStdString();
    EXPECT_FALSE(o.err.contains("Error accessing volume"));
    EXPECT_EQ(previousContents(), "yesterday's report\r\n");
}

TEST_F(SiteRun, AnOutputFileThatCannotBeWrittenFailsBeforeTheRun) {
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/ALLSUBS",
                           "/OUTFILE=" + out("missing/dirs.csv")});
    EXPECT_EQ(o.status, 2);
    EXPECT_TRUE(o.err.startsWith("quarvo: Cannot open " + out("missing/dirs.csv"))) << o.err.toStdString();
    EXPECT_FALSE(o.err.contains("Process")); // the walk never started
    EXPECT_FALSE(o.err.contains("Total Results"));
}

TEST_F(SiteRun, AnExportGoesBesideTheRowsOfADirectoryRunOnly) {
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1\\USERS", "/ALLSUBS",
                           "/EXPORT=" + out("users.json"), "/OUTFILE=" + previous});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(readCrlfLines(previous).size(), 3);
    const NcduScan scan = NcduScan::read(out("users.json"));
    EXPECT_EQ(scan.name(0), QFile::encodeName(QFileInfo(vol1 + "/USERS").canonicalFilePath()));
    EXPECT_EQ(scan.size(), 4u); // USERS, bjones, jsmith and notes.txt
    const Outcome file = run({"/T=ACME_TREE", "/F=FILE", "/D=\\\\FS1\\VOL1", "/PATTERN=*", "/EXPORT=" + out("f.json")});
    EXPECT_EQ(file.status, 1);
    EXPECT_TRUE(file.err.startsWith("quarvo: /EXPORT= does not belong to /F=FILE")) << file.err.toStdString();
    const Outcome unnamed = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/IMMSUBS", "/EXPORT="});
    EXPECT_EQ(unnamed.status, 1);
    EXPECT_EQ(unnamed.err, "quarvo: /EXPORT= needs a file name.\n");
}

TEST_F(SiteRun, AnExportThatCannotBeWrittenFailsTheRunAndLeavesTheOutput) {
    const auto expectFailed = [this](const QString& form, const QString& file, const QString& reason) {
        const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", form, "/EXPORT=" + file,
                               "/OUTFILE=" + previous});
        EXPECT_EQ(o.status, 2);
        EXPECT_TRUE(o.err.contains(reason)) << o.err.toStdString();
        EXPECT_EQ(previousContents(), "yesterday's report\r\n");
    };
    expectFailed("/ALLSUBS", out("missing/t.json"), "Cannot open " + out("missing/t.json") + ": No such file or directory");
    // A disk that fills up while the export is written.
    for (int i = 0; i < 300; ++i)
        TreeBuilder::dense(vol1 + QString("/DATA/a file with a long name to fill the export %1").arg(i));
    QDir().mkpath(out("full"));
    ScopedTmpfs full(QFile::encodeName(out("full")), "16k");
    if (!full.mounted())
        GTEST_SKIP() << full.why().toStdString();
    expectFailed("/IMMSUBS", out("full/t.json"), "Cannot write " + out("full/t.json") + ": No space left on device");
    EXPECT_EQ(QDir(out("full")).entryList(QDir::Files | QDir::Hidden), QStringList{});
}

TEST_F(SiteRun, AnImportGivesTheRowsOfTheWalkItWasExportedFrom) {
    ASSERT_EQ(run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/IMMSUBS", "/EXPORT=" + out("vol1.json")}).status, 0);
    // The lines but for their first field, the time of the run.
    const auto rows = [](const QString& path) {
        QStringList lines = readCrlfLines(path);
        for (QString& line : lines)
            line = line.section(',', 1);
        return lines;
    };
    const QList<QStringList> forms = {{"/F=DIRECTORY", "/ALLSUBS"},
                                      {"/F=FILE", "/PATTERN=*"},
                                      {"/F=DATE", "/OPT=MODIFY", "/NEWERTHAN=1/1/1990"}};
    const auto common = [](const QStringList& form) {
        return QStringList{"/T=ACME_TREE", "/D=\\\\FS1\\VOL1", "/HEADINGS"} + form;
    };
    for (qsizetype i = 0; i < forms.size(); ++i)
        ASSERT_EQ(run(common(forms[i]) + QStringList{"/OUTFILE=" + out(QString("walked%1.csv").arg(i))}).status, 0);
    TreeBuilder::file(vol1 + "/DATA/later.txt", 1048576); // not in the scan
    for (qsizetype i = 0; i < forms.size(); ++i) {
        const Outcome o = run(common(forms[i]) + QStringList{"/IMPORT=" + out("vol1.json"), "/OUTFILE=" + out("imported.csv")});
        ASSERT_EQ(o.status, 0) << o.err.toStdString();
        EXPECT_EQ(rows(out("imported.csv")), rows(out(QString("walked%1.csv").arg(i)))) << forms[i][0].toStdString();
        EXPECT_EQ(rows(out("imported.csv")).size(), i == 0 ? 6 : 2) << forms[i][0].toStdString();
    }
}

TEST_F(SiteRun, AnImportThatIsNoScanIsRefusedWithItsLineAndColumnAndNothingWritten) {
    QFile scan(out("bad.json"));
    ASSERT_TRUE(scan.open(QIODevice::WriteOnly));
    scan.write("[1,2,{},\n[{\"name\":\"/v\"},\n{\"name\":\"f\",\"asize\":\"12\"}]]\n");
    scan.close();
    const QList<QStringList> forms = {{"/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/IMMSUBS"},
                                      {"/F=FILE", "/D=\\\\FS1\\VOL1", "/PATTERN=*"},
                                      {"/F=DATE", "/D=\\\\FS1\\VOL1", "/OPT=MODIFY", "/OLDERTHAN=1/1/2090"},
                                      {"/F=OWNER", "/S=FS1", "/V=VOL1", "/OWNER=ALL+SUB"}};
    for (const QStringList& form : forms) {
        const Outcome o = run(QStringList{"/T=ACME_TREE", "/IMPORT=" + out("bad.json"), "/OUTFILE=" + previous} + form);
        EXPECT_EQ(o.status, 1) << form[0].toStdString();
        EXPECT_TRUE(o.err.contains(out("bad.json") + ": line 3, column 21: asize is not a number")) << o.err.toStdString();
        EXPECT_EQ(previousContents(), "yesterday's report\r\n");
        EXPECT_EQ(outputFolder(), (QStringList{"bad.json", "report.csv"}));
    }
}

TEST_F(SiteRun, ACompleteRunReplacesTheFormerFileAndLeavesNothingElse) {
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1\\USERS", "/ALLSUBS", "/OUTFILE=" + previous});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(readCrlfLines(previous).size(), 3);
    EXPECT_EQ(outputFolder(), QStringList{"report.csv"});
}

TEST_F(SiteRun, OffATerminalStandardErrorHoldsTheOutcomeOnceAndTheTotals) {
    const Outcome o = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1\\USERS", "/ALLSUBS", "/OUTFILE=" + previous});
    ASSERT_EQ(o.status, 0);
    const QStringList lines = o.err.split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 2) << o.err.toStdString();
    EXPECT_TRUE(QRegularExpression("^Process Complete\\. 3 directories, 1 file, .* in [0-9.]+ s "
                                   "\\(Directory report of \\\\\\\\FS1\\\\VOL1\\\\USERS\\)$")
                    .match(lines[0])
                    .hasMatch())
        << lines[0].toStdString();
    EXPECT_EQ(lines[1], "Total Results: 3    |    Total Size: 0.00 MB");
}

// The typed case is tried first, then any case; rows name the directories as stored.
TEST_F(SiteRun, TheStartDirectoryIsFoundInAnyCaseAndRowsShowItAsStored) {
    const Outcome o = run({"/T=ACME_TREE", "/F=FILE", "/D=\\\\fs1\\vol1\\Users\\JSmith\\", "/PATTERN=*", "/OUTFILE=-"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    const QStringList lines = o.out.split("\r\n", Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(",FS1,VOL1,\\\\FS1\\VOL1\\USERS\\jsmith,notes.txt,")) << lines[0].toStdString();
}

// Names that are not UTF-8 -----------------------------------------------------------

namespace {

bool touched(const QByteArray& path) {
    const int fd = ::open(path.constData(), O_CREAT | O_WRONLY | O_CLOEXEC, 0644);
    return fd >= 0 && ::close(fd) == 0;
}

// fn_\x80_e to fn_\xff_e: each a different name, none of them UTF-8.
QList<QByteArray> oddNames() {
    QList<QByteArray> names;
    for (int byte = 0x80; byte <= 0xff; ++byte)
        names.append("fn_" + QByteArray(1, char(byte)) + "_e");
    return names;
}

// The name fields of a File run's output lines: what follows its directory.
QList<QByteArray> namesAfter(const QByteArray& output, const QByteArray& directory) {
    QList<QByteArray> names;
    for (const QByteArray& line : output.split('\n')) {
        const qsizetype at = line.indexOf("," + directory + ",");
        if (at >= 0)
            names.append(line.mid(at + directory.size() + 2).split(',').first());
    }
    return names;
}

} // namespace

TEST_F(SiteRun, NamesThatAreNotUtf8ReachTheResultsAsTheirOwnBytes) {
    const QByteArray odd = QFile::encodeName(vol1) + "/ODD";
    ASSERT_EQ(::mkdir(odd.constData(), 0755), 0);
    for (const QByteArray& name : oddNames())
        ASSERT_TRUE(touched(odd + "/" + name));
    const Outcome o = run({"/T=ACME_TREE", "/F=FILE", "/D=\\\\FS1\\VOL1\\ODD", "/PATTERN=fn_*",
                           "/OUTFILE=" + out("odd.csv")});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    QFile results(out("odd.csv"));
    ASSERT_TRUE(results.open(QIODevice::ReadOnly));
    QList<QByteArray> written = namesAfter(results.readAll(), "\\\\FS1\\VOL1\\ODD");
    // As find writes them.
    QProcess find;
    find.start("find", {QFile::decodeName(odd), "-type", "f", "-printf", "%f\\n"});
    ASSERT_TRUE(find.waitForFinished(60000));
    QList<QByteArray> found = find.readAllStandardOutput().split('\n');
    found.removeAll(QByteArray());
    std::sort(written.begin(), written.end());
    std::sort(found.begin(), found.end());
    EXPECT_EQ(found.size(), 128);
    EXPECT_EQ(written, found);
}

// \xHH in /D= names a byte of a name that is not UTF-8, as the window shows it.
TEST_F(SiteRun, ABackslashXEscapeInTheStartDirectoryNamesAByte) {
    const QByteArray folder = QFile::encodeName(vol1) + "/DATA/caf\xe9";
    ASSERT_EQ(::mkdir(folder.constData(), 0755), 0);
    ASSERT_TRUE(touched(folder + "/inside.txt"));
    const Outcome o = run({"/T=ACME_TREE", "/F=FILE", "/D=\\\\FS1\\VOL1\\DATA\\caf\\xe9", "/PATTERN=*",
                           "/OUTFILE=" + out("cafe.csv")});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    QFile results(out("cafe.csv"));
    ASSERT_TRUE(results.open(QIODevice::ReadOnly));
    EXPECT_EQ(namesAfter(results.readAll(), "\\\\FS1\\VOL1\\DATA\\caf\xe9"), QList<QByteArray>{"inside.txt"});
}

TEST_F(SiteRun, ALocalPathInsideAVolumeAndAVolumeAlone) {
    const Outcome local = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=" + vol1 + "/USERS", "/IMMSUBS", "/OUTFILE=-"});
    ASSERT_EQ(local.status, 0) << local.err.toStdString();
    EXPECT_TRUE(local.out.contains(",FS1,VOL1,\\\\FS1\\VOL1\\USERS\\bjones,")) << local.out.toStdString();
    const Outcome root = run({"/T=ACME_TREE", "/F=DIRECTORY", "/D=\\\\FS1\\VOL1", "/IMMSUBS", "/OUTFILE=-"});
    ASSERT_EQ(root.status, 0) << root.err.toStdString();
    EXPECT_EQ(root.out.count("\r\n"), 2); // DATA and USERS
}

TEST_F(SiteRun, ADashMeansStandardOutput) {
    QProcess p;
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(dir.path());
    p.start(QUARVO_BINARY, {"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\FS1\\VOL1", "/HEADINGS", "/OUTFILE=-"});
    ASSERT_TRUE(p.waitForFinished(60000));
    EXPECT_EQ(p.exitCode(), 0);
    EXPECT_TRUE(QString::fromUtf8(p.readAllStandardOutput()).startsWith("Run Date,Volume,"));
    EXPECT_FALSE(QFile::exists(dir.path() + "/-"));
}

TEST_F(SiteRun, BlanksAfterTheCommasOfAVolumeListAreIgnored) {
    const Outcome o = run({"/T=ACME_TREE", "/F=VOLUME", "/V=\\\\FS1\\VOL1,", "\\\\FS1\\VOL1"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_EQ(o.out.count(",\\\\FS1\\VOL1,"), 2);
    EXPECT_FALSE(o.out.contains("Unavailable")) << o.out.toStdString();
}

TEST_F(SiteRun, ListShowsTreesServersAndVolumesWithTheirRoots) {
    const Outcome o = run({"--list"});
    ASSERT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_TRUE(o.out.contains("  ACME_TREE  (default, inline directory)\n")) << o.out.toStdString();
    EXPECT_TRUE(o.out.contains(QRegularExpression("\n  \\\\\\\\FS1\\\\VOL1 +" + QRegularExpression::escape(vol1) + "\n")))
        << o.out.toStdString();
    EXPECT_TRUE(o.out.contains("\\\\" + shortHostName() + "\\SYS ")) << o.out.toStdString();
    writeSite("this is [not toml");
    EXPECT_EQ(run({"--list"}).status, 1);
}

TEST_F(QuarvoRun, EveryHelpSwitchPrintsTheSameHelp) {
    const QString help = run({"--help"}).out;
    EXPECT_TRUE(help.contains("/T= <Tree>"));
    for (const char* form : {"-h", "/?", "--HELP", "-H"}) {
        const Outcome o = run({form});
        EXPECT_EQ(o.status, 0) << form;
        EXPECT_EQ(o.out, help) << form;
    }
}

TEST_F(QuarvoRun, ListEscapesControlCharactersEvenIntoAPipe) {
    ASSERT_TRUE(QDir().mkpath(dir.path() + "/a\x1b]0;x\x07"));
    writeSite("[[server]]\nname = \"FSX\"\nvolumes = { SYS = \"" + dir.path() + "/a\\u001b]0;x\\u0007\" }\n");
    const Outcome o = run({"--list"});
    EXPECT_EQ(o.status, 0) << o.err.toStdString();
    EXPECT_FALSE(o.out.contains(QChar(0x1b))) << o.out.toStdString();
    EXPECT_TRUE(o.out.contains("/a\\x1b]0;x\\x07")) << o.out.toStdString();
}

// Run as root, a site file others can change would let them pick volumes and owners.
TEST_F(QuarvoRun, AsRootASiteFileOthersCanChangeIsRefused) {
    if (::geteuid() != 0) GTEST_SKIP() << "the check applies to root";
    const QString path = writeSite("# caf\u00e9 is fine in a comment\n[[server]]\nname = \"FSX\"\n"
                                   "volumes = { SYS = \"" + dir.path() + "\" }\n");
    EXPECT_EQ(run({"--list"}).status, 0);
    ::chmod(QFile::encodeName(path).constData(), 0666);
    Outcome o = run({"--list"});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("the site file " + path + " can be written by everyone (mode 666)")) << o.err.toStdString();
    ::chmod(QFile::encodeName(path).constData(), 0644);
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 4242, 0), 0);
    o = run({"--list"});
    EXPECT_TRUE(o.err.contains("belongs to uid 4242, not root")) << o.err.toStdString();
    ASSERT_EQ(::chown(QFile::encodeName(path).constData(), 0, 0), 0);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0775);
    EXPECT_TRUE(run({"--list"}).err.contains("its folder " + dir.path() + " can be written by its group"));
    ::chmod(QFile::encodeName(dir.path()).constData(), 0700);
}

TEST_F(QuarvoRun, NonAsciiOutsideQuotesIsRefusedWithItsLine) {
    writeSite("[[tree]]\nname = \"\u00c4CME\" # \u00e9\nconn\u00e9cted = true\n");
    const Outcome o = run({"--list"});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("site.toml:3: a character other than ASCII outside quotes")) << o.err.toStdString();
}

TEST_F(QuarvoRun, TextBeforeTheFirstSwitchIsRefused) {
    const Outcome o = run({"--lst"});
    EXPECT_EQ(o.status, 1);
    EXPECT_TRUE(o.err.contains("\"--lst\" is not a switch")) << o.err.toStdString();
}

TEST_F(QuarvoRun, ASiteFileThatIsNoRegularFileIsRefusedAtOnce) {
    const QString fifo = out("site.fifo");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    for (const QString& path : {fifo, QString("/dev/zero"), dir.path()}) {
        env.insert("QUARVO_SITE", path);
        const Outcome o = run({"/T=X", "/F=VOLUME", "/V=\\\\X\\SYS"});
        EXPECT_EQ(o.status, 1) << path.toStdString();
        EXPECT_EQ(o.err, "quarvo: The site file cannot be used: " + path + ": the site file is not a regular file\n");
    }
}

TEST_F(QuarvoRun, ASiteFileOfMoreThan16MiBIsRefused) {
    const QString path = writeSite("");
    ASSERT_TRUE(QFile(path).resize(16 * 1024 * 1024 + 1));
    const Outcome o = run({"--list"});
    EXPECT_EQ(o.status, 1);
    EXPECT_EQ(o.err, "quarvo: The site file cannot be used: " + path + ": the site file is larger than 16 MiB\n");
}
