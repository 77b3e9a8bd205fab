// The command-line output file written from a run's grid.
#include "report_fixture.h"
#include "scoped_locale.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"
#include "text_files.h"

#include "app/command_line_output.h"
#include "reports/grid_layouts.h"
#include "reports/report_run.h"

#include <QFile>
#include <QFileInfo>
#include <QDir>
#include <QProcess>
#include <QLocale>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>
#include <sys/resource.h>

namespace {

// A row of the Volumes layout: its hidden sort keys (never written), the
// volume path, then the figures as the grid shows them.
QStringList volumeRow(const QString& path, const QStringList& shown) {
    return QStringList{"0", "0", "0", path} + shown;
}

// One volume with its figures and one that could not be reached.
ResultGrid volumesGrid() {
    ResultGrid grid;
    subInitializeGrid(grid, "Volumes");
    grid.addRow(volumeRow("\\\\FS1\\SYS", {"       3,906.25", "       2,929.69", "           0.00",
                                           "           0.00", "         976.56", " 25%"}));
    grid.addRow(volumeRow("\\\\FS2\\VOL1", QStringList(5, "Unavailable") + QStringList{"N/A"}));
    return grid;
}

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void put(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class OutputFile : public ::testing::Test {
  protected:
    OutputFile() : f(SiteBuilder().site()) {
        f.search.tabSearch = ReportKind::Volume;
        f.grid = volumesGrid();
        target.path = path;
    }
    ~OutputFile() override {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    QStringList write() {
        CommandLineOutput output(target);
        EXPECT_EQ(output.open(), "");
        EXPECT_EQ(output.write(f.env, f.host), "");
        return readCrlfLines(target.path);
    }

    QTemporaryDir dir;
    QString path = dir.path() + "/volumes.csv";
    ReportFixture f;
    CommandLineOutput::Target target;
};

} // namespace

TEST_F(OutputFile, VolumeRunHeadingsStartWithRunDate) {
    target.headings = true;
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0],
              "Run Date,Volume,Size(MB),Used Space(MB),Purgeable(MB),Not Yet Purgeable(MB),"
              "Free Space(MB),% Free");
    const QRegularExpression dated("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M,");
    EXPECT_TRUE(dated.match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",\\\\FS1\\SYS,3906.25,2929.69,0.00,0.00,976.56,25%"));
    EXPECT_TRUE(lines[2].endsWith(
        ",\\\\FS2\\VOL1,Unavailable,Unavailable,Unavailable,Unavailable,Unavailable,N/A"));
}

TEST_F(OutputFile, CommaDecimalLocaleDatesTheRowsItsOwnWay) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    target.delimiter = ";";
    f.grid = ResultGrid();
    subInitializeGrid(f.grid, "Volumes");
    f.grid.addRow(volumeRow("\\\\FS1\\SYS", {"       3.906,25", "0", "0", "0", "0", " 25%"}));
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 1);
    const QRegularExpression dated(
        "^\\d{2}\\.\\d{2}\\.\\d{4} \\d{2}:\\d{2}:\\d{2}[^;]*;\\\\\\\\FS1\\\\SYS;3906,25;");
    EXPECT_TRUE(dated.match(lines[0]).hasMatch()) << lines[0].toStdString();
}

TEST_F(OutputFile, WithoutHeadingsOnlyResultLines) {
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_FALSE(lines[0].startsWith("Run Date"));
}

TEST_F(OutputFile, OtherReportsLeadWithServerAndVolume) {
    f.search.tabSearch = ReportKind::Directory;
    f.search.cmbServer.showOrAdd("FS1");
    f.search.cmbVolumeList.showOrAdd("VOL1");
    subInitializeGrid(f.grid, "Directory");
    f.grid.addRow({"", "\\\\FS1\\VOL1\\A", "       2.00"});
    target.headings = true;
    target.delimiter = "||";
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Run Date||Server||Volume||Directory||Size(MB)");
    EXPECT_TRUE(lines[1].endsWith("||FS1||VOL1||\\\\FS1\\VOL1\\A||2.00"));
    EXPECT_FALSE(lines[1].endsWith("|"));
}

TEST_F(OutputFile, AppendAddsToTheFileAndReplaceStartsOver) {
    target.headings = true;
    target.append = true;
    write();
    const QStringList twice = write();
    ASSERT_EQ(twice.size(), 6);
    EXPECT_TRUE(twice[0].startsWith("Run Date,"));
    EXPECT_TRUE(twice[3].startsWith("Run Date,"));
    target.append = false;
    EXPECT_EQ(write().size(), 3);
}

TEST_F(OutputFile, SemicolonDelimiterAndAQuotedCell) {
    target.delimiter = ";";
    f.grid.setCell(1, 3, "\\\\FS1\\A;B");
    const QStringList lines = write();
    EXPECT_TRUE(lines[0].contains(";\"\\\\FS1\\A;B\";3906.25;")) << lines[0].toStdString();
}

TEST_F(OutputFile, NamesWithControlCharactersAreWrittenAsTheyAre) {
    f.grid.setCell(1, 3, "\\\\FS1\\\033]0;pwned\007");
    const QStringList lines = write();
    EXPECT_TRUE(lines[0].contains(",\\\\FS1\\\033]0;pwned\007,")) << lines[0].toStdString();
}

TEST_F(OutputFile, AFolderThatIsMissingFailsWhenOpened) {
    target.path = dir.path() + "/missing-dir/out.csv";
    for (const bool append : {false, true}) {
        target.append = append;
        CommandLineOutput output(target);
        EXPECT_TRUE(output.open().startsWith("Cannot open " + target.path)) << append;
    }
}

// A device is never written to, whether named or behind a link; a folder
// is refused before anything is looked for.
TEST_F(OutputFile, AFolderOrADeviceIsRefusedAtOnce) {
    ASSERT_EQ(::symlink("/dev/null", QFile::encodeName(dir.path() + "/report.csv").constData()), 0);
    for (const QString& device : {QString("/dev/null"), dir.path() + "/report.csv", dir.path()}) {
        for (const bool append : {false, true}) {
            target.path = device;
            target.append = append;
            CommandLineOutput output(target);
            const QString error = output.open();
            EXPECT_TRUE(error.startsWith("Cannot open " + device + ": it is a ")) << error.toStdString();
        }
    }
    EXPECT_TRUE(QFileInfo(dir.path() + "/report.csv").isSymLink());
}

// Whatever stops the writing, replaced and appended files end as they were,
// and the message gives the system's reason.
class OutputFaults : public OutputFile {
  protected:
    OutputFaults() {
        for (int i = 0; i < 3000; ++i)
            f.grid.addRow(volumeRow(QString("\\\\FS%1\\SYS").arg(i), QStringList(5, "1.00") + QStringList{" 5%"}));
    }
    // Every way of writing fails the same way and leaves path as it was.
    void expectEachWriteFails(const QString& reason) {
        for (const bool append : {true, false}) {
            target.append = append;
            CommandLineOutput output(target);
            ASSERT_EQ(output.open(), "");
            const QString error = output.write(f.env, f.host);
            EXPECT_TRUE(error.startsWith("Cannot write " + target.path + ": " + reason)) << error.toStdString();
            EXPECT_EQ(contents(target.path), before) << append;
            EXPECT_EQ(QDir(QFileInfo(target.path).path()).entryList(QDir::Files), QStringList{"monthly.csv"});
        }
    }
    QByteArray before = QByteArray("earlier,row\r\n").repeated(2000);
};

TEST_F(OutputFaults, AFullFileSystem) {
    QDir().mkpath(dir.path() + "/full");
    ScopedTmpfs tmpfs(QFile::encodeName(dir.path() + "/full"), "64k");
    if (!tmpfs.mounted()) GTEST_SKIP() << tmpfs.why().toStdString();
    target.path = dir.path() + "/full/monthly.csv";
    put(target.path, before);
    expectEachWriteFails("No space left on device");
}

TEST_F(OutputFaults, AFileSizeLimit) {
    target.path = dir.path() + "/monthly.csv";
    put(target.path, before);
    rlimit saved {};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN); // as the program does at start
    rlimit limited = saved;
    limited.rlim_cur = 64 * 1024;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limited), 0);
    expectEachWriteFails("File too large");
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
}

// An append adds its rows in one locked pass at the end: a run that stops
// before it takes nothing back, even when others appended or the file was
// rotated meanwhile, and a run holding the lock is waited for.
TEST_F(OutputFile, AppendsTakeBackNothingButTheirOwnAndNeverInterleave) {
    target.append = true;
    put(path, "yesterday\r\n");
    {
        CommandLineOutput stopped(target);
        ASSERT_EQ(stopped.open(), "");
        put(path, "yesterday\r\nanother run\r\n"); // finished meanwhile
        stopped.abandon();
    }
    EXPECT_EQ(contents(path), "yesterday\r\nanother run\r\n");
    {
        CommandLineOutput stopped(target);
        ASSERT_EQ(stopped.open(), "");
        put(path, "rotated\r\n"); // copy-truncate, then new lines
    }
    EXPECT_EQ(contents(path), "rotated\r\n");
    const int other = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_APPEND);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    ASSERT_EQ(::fcntl(other, F_OFD_SETLK, &lock), 0);
    std::thread holder([other] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        (void)::write(other, "held\r\n", 6);
        ::close(other);
    });
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    EXPECT_EQ(output.write(f.env, f.host), "");
    holder.join();
    EXPECT_TRUE(contents(path).startsWith("rotated\r\nheld\r\n")) << contents(path).toStdString();
}

TEST_F(OutputFile, AnUnfinishedLastLineIsNotAppendedTo) {
    target.append = true;
    put(path, "a,b\r\nhalf a ro");
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    EXPECT_TRUE(output.write(f.env, f.host).contains("its last line has no line break"));
    EXPECT_EQ(contents(path), "a,b\r\nhalf a ro");
}

TEST_F(OutputFile, AFifoNoOneReadsIsRefusedAtOnce) {
    const QString fifo = dir.path() + "/fifo";
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    target.path = fifo;
    CommandLineOutput output(target);
    EXPECT_EQ(output.open(), "Cannot open " + fifo + ": no one is reading it");
}

// In a sticky folder anyone can write to, a link someone else planted is
// not followed; root's own link there is, and the link stays a link.
TEST_F(OutputFile, OnlyLinksOfOnesOwnAreFollowed) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "links of another user's need root to make";
    const QString shared = dir.path() + "/shared";
    ASSERT_TRUE(QDir().mkpath(shared));
    ASSERT_EQ(::chmod(QFile::encodeName(shared).constData(), 01777), 0);
    put(dir.path() + "/victim", "keep\n");
    const QByteArray planted = QFile::encodeName(shared + "/report.csv");
    ASSERT_EQ(::symlink(QFile::encodeName(dir.path() + "/victim").constData(), planted.constData()), 0);
    ASSERT_EQ(::lchown(planted.constData(), 4242, 4242), 0);
    target.path = shared + "/report.csv";
    for (const bool append : {false, true}) {
        target.append = append;
        CommandLineOutput output(target);
        EXPECT_TRUE(output.open().contains("symbolic link of another user's (uid 4242)"));
    }
    EXPECT_EQ(contents(dir.path() + "/victim"), "keep\n");
    ASSERT_EQ(::lchown(planted.constData(), 0, 0), 0);
    target.append = false;
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    ASSERT_EQ(output.write(f.env, f.host), "");
    EXPECT_TRUE(contents(dir.path() + "/victim").contains("\\\\FS1\\SYS"));
    EXPECT_TRUE(QFileInfo(target.path).isSymLink());
}

TEST_F(OutputFile, AReplacedFileKeepsItsAclAndAttributes) {
    put(path, "yesterday\r\n");
    const QByteArray name = QFile::encodeName(path);
    if (::setxattr(name.constData(), "user.origin", "ledger", 6, 0) != 0 ||
        QProcess::execute("setfacl", {"-m", "g::---,u:daemon:rw-", path}) != 0)
        GTEST_SKIP() << "no extended attributes or ACLs here";
    const auto acl = [&] {
        QProcess getfacl;
        getfacl.start("getfacl", {"-c", "-p", path});
        getfacl.waitForFinished();
        return getfacl.readAllStandardOutput();
    };
    const QByteArray before = acl();
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    ASSERT_EQ(output.write(f.env, f.host), "");
    EXPECT_TRUE(contents(path).contains("\\\\FS1\\SYS"));
    EXPECT_EQ(acl(), before);
    char value[16] = {};
    EXPECT_EQ(::getxattr(name.constData(), "user.origin", value, sizeof value), 6);
    EXPECT_STREQ(value, "ledger");
}

// A whole run leaves no stale .partial beside its file, and temporary files
// of its own that a killed run left over a day ago are removed and said.
TEST_F(OutputFile, AWholeRunClearsWhatStoppedRunsLeft) {
    put(path + ".partial", "stopped run\r\n");
    const QString old = dir.path() + "/.volumes.csv.quarvo-tmp-99-abc";
    const QString fresh = dir.path() + "/.volumes.csv.quarvo-tmp-98-def";
    put(old, "x");
    put(fresh, "y");
    const timespec times[2] = {{0, UTIME_OMIT}, {::time(nullptr) - 2 * 24 * 3600, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(old).constData(), times, 0), 0);
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    EXPECT_EQ(output.notes(), QStringList{"Removed " + old + ", a temporary file a stopped run left over a day ago."});
    ASSERT_EQ(output.write(f.env, f.host), "");
    EXPECT_FALSE(QFile::exists(path + ".partial"));
    EXPECT_FALSE(QFile::exists(old));
    EXPECT_TRUE(QFile::exists(fresh));
}

TEST_F(OutputFile, TheFormerFileStaysWholeUntilTheNewOneIsComplete) {
    put(path, "yesterday\r\n");
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    EXPECT_EQ(contents(path), "yesterday\r\n"); // open() neither truncates nor replaces
    ASSERT_EQ(output.write(f.env, f.host), "");
    EXPECT_EQ(readCrlfLines(path).size(), 2);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files),
              QStringList{"volumes.csv"}); // no temporary file left
}

TEST_F(OutputFile, AnAbandonedRunLeavesEverythingAsItWas) {
    put(path, "yesterday\r\n");
    {
        CommandLineOutput output(target);
        ASSERT_EQ(output.open(), "");
        output.abandon();
    }
    EXPECT_EQ(contents(path), "yesterday\r\n");
    target.append = true;
    target.path = dir.path() + "/new.csv";
    {
        CommandLineOutput output(target);
        ASSERT_EQ(output.open(), "");
        EXPECT_FALSE(QFile::exists(target.path)); // made only by the final pass
    }
    EXPECT_FALSE(QFile::exists(target.path));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"volumes.csv"});
}

TEST_F(OutputFile, RowsOfAStoppedRunGoBesideTheFile) {
    for (const bool append : {false, true}) {
        put(path, "yesterday\r\n");
        target.append = append;
        CommandLineOutput output(target);
        ASSERT_EQ(output.open(), "");
        ASSERT_EQ(output.writePartial(f.env, f.host), "");
        EXPECT_EQ(output.partialPath(), path + ".partial");
        EXPECT_EQ(readCrlfLines(path + ".partial").size(), 2) << append;
        EXPECT_EQ(contents(path), "yesterday\r\n") << append;
    }
}

TEST_F(OutputFile, ADashOrNoFileMeansStandardOutput) {
    std::FILE* out = std::tmpfile();
    for (const QString& name : {QString(), QString("-")}) {
        target.path = name;
        CommandLineOutput output(target, out);
        EXPECT_TRUE(output.toStandardOutput());
        ASSERT_EQ(output.open(), "");
        ASSERT_EQ(output.write(f.env, f.host), "");
    }
    std::rewind(out);
    char buffer[4096] = {};
    const size_t n = std::fread(buffer, 1, sizeof buffer - 1, out);
    std::fclose(out);
    const QStringList lines =
        QString::fromUtf8(buffer, qsizetype(n)).split("\r\n", Qt::SkipEmptyParts);
    EXPECT_EQ(lines.size(), 4);
    EXPECT_FALSE(QFile::exists("-"));
    EXPECT_TRUE(f.host.statuses.isEmpty()); // no "Saving row" among the rows
}

// A File run over real files in a comma-decimal locale, written as a
// command-line run writes it: names that look like numbers keep their form,
// dates are no numbers, sizes lose their grouping.
TEST_F(OutputFile, FileRunInACommaDecimalLocale) {
    const ScopedLocale german(ScopedLocale::german());
    SiteBuilder builder;
    builder.tree("ACME_TREE").server("FS1", {"VOL1"});
    const QString root = QFile::decodeName(builder.rootOf("FS1", "VOL1"));
    for (const QString name : {"007", "1,000", "1.5"}) {
        TreeBuilder::file(root + "/docs/" + name, 2097152);
        TreeBuilder::times(root + "/docs/" + name, QDate(2022, 2, 2), QDate(2022, 2, 2));
    }
    ReportFixture run(builder.site());
    run.app.commandLineMode = true;
    run.search.tabSearch = ReportKind::File;
    run.search.cmbServer.showOrAdd("FS1");
    run.search.cmbVolumeList.showOrAdd("VOL1");
    run.search.lblDirectory = "\\\\FS1\\VOL1\\docs";
    run.search.txtFileType = "*";
    btnShowUsage_Click(run.env);
    ASSERT_EQ(run.grid.cell(1, 4).trimmed(), "2.097.152");
    target.delimiter = ";";
    CommandLineOutput output(target);
    ASSERT_EQ(output.open(), "");
    ASSERT_EQ(output.write(run.env, run.host), "");
    const QStringList lines = readCrlfLines(target.path);
    ASSERT_EQ(lines.size(), 3);
    QStringList namesSizesDates; // after Run Date, Server, Volume, Directory: File, Owner, Size, Date
    for (const QString& line : lines) {
        const QStringList fields = line.split(';');
        namesSizesDates.append(QStringList{fields.value(4), fields.value(6), fields.value(7)}.join('|'));
    }
    EXPECT_EQ(namesSizesDates,
              (QStringList{"007|2097152|02.02.2022", "1,000|2097152|02.02.2022", "1.5|2097152|02.02.2022"}));
}
