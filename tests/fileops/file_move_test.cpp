#include "report_fixture.h"
#include "scoped_tmpfs.h"
#include "tree_builder.h"
#include "unprivileged_run.h"

#include "fileops/file_move.h"
#include "reports/report_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

// A File listing of \\FS1\VOL1\USERS, whose files the tests move.
class Move : public ::testing::Test {
protected:
    Move() {
        builder.tree("ACME_TREE").server("FS1", {"VOL1"});
        volume = QFile::decodeName(builder.rootOf("FS1", "VOL1"));
        QDir().mkpath(volume + "/USERS/BOB");
        QDir().mkpath(destination());
    }
    void write(const QString& path, const QByteArray& content) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    QByteArray read(const QString& path) {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
    }
    void list() {
        f = std::make_unique<ReportFixture>(builder.site());
        f->listFiles("\\\\FS1\\VOL1\\USERS");
        f->host.answer = true;
        f->grid.Row = 1;
        f->grid.RowSel = f->grid.rows() - 1;
    }
    std::optional<MoveCounts> move(bool preserve, bool overwrite) {
        OperationsLog log(logDir.filePath("Quarvo.log"));
        return btnMoveFiles_Click(f->env, MoveOptions{destination(), preserve, overwrite}, log);
    }
    QString destination() const { return out.path() + "/archive"; }
    QStringList logLines() {
        QStringList lines = QString::fromUtf8(read(logDir.filePath("Quarvo.log"))).split("\r\n");
        lines.removeLast();
        return lines;
    }

    SiteBuilder builder;
    QString volume;
    QTemporaryDir out;
    QTemporaryDir logDir;
    std::unique_ptr<ReportFixture> f;
};

// Gives the answers in turn.
class AnsweringHost : public RecordingHost {
public:
    bool ask(const QString& text, const QString& title = {}) override {
        RecordingHost::ask(text, title);
        return next.isEmpty() ? answer : next.takeFirst();
    }
    QList<bool> next;
};

} // namespace

TEST_F(Move, PreservingTheStructureRebuildsTheFilesDirectories) {
    write(volume + "/USERS/BOB/notes.txt", "bob's notes");
    write(volume + "/USERS/BOB/more.txt", "more");
    list();
    ASSERT_EQ(f->grid.rows(), 3);
    QDir(destination()).removeRecursively(); // a destination not there yet is made
    const std::optional<MoveCounts> counts = move(true, false);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->moved, 2);
    EXPECT_EQ(counts->notMoved, 0);
    EXPECT_EQ(read(destination() + "/USERS/BOB/notes.txt"), "bob's notes");
    EXPECT_FALSE(QFile::exists(volume + "/USERS/BOB/notes.txt"));
    EXPECT_EQ(f->grid.rows(), 1);
    EXPECT_EQ(f->host.messages.last(), "Files Moved: 2\nFiles Not Moved: 0");
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[0].contains(", Moved \\\\FS1\\VOL1\\USERS\\BOB\\notes.txt TO " + destination() +
                                  "/USERS/BOB/notes.txt"))
        << lines[0].toStdString();
}

TEST_F(Move, AnExistingDestinationStaysAndTheQuestionCanBeSilenced) {
    write(volume + "/USERS/a.txt", "new a");
    write(volume + "/USERS/b.txt", "new b");
    write(volume + "/USERS/c.txt", "new c");
    write(destination() + "/a.txt", "old a");
    write(destination() + "/b.txt", "old b");
    list();
    // Yes to moving, then No to the first "Continue showing this message?".
    AnsweringHost host;
    host.next = {true, false};
    ReportEnv env{f->app, f->search, f->run, f->grid, f->view, host, f->client, f->volumes};
    OperationsLog log(logDir.filePath("Quarvo.log"));
    const std::optional<MoveCounts> counts = btnMoveFiles_Click(env, MoveOptions{destination(), false, false}, log);
    const qsizetype asked = host.questions.filter("Continue showing this message?").size();
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->moved, 1);
    EXPECT_EQ(counts->notMoved, 2);
    EXPECT_EQ(asked, 1); // silenced after No
    EXPECT_TRUE(host.questions[1].startsWith("Unable to move \\\\FS1\\VOL1\\USERS\\b.txt; Error:17 "))
        << host.questions[1].toStdString();
    EXPECT_EQ(read(destination() + "/a.txt"), "old a");
    EXPECT_EQ(read(destination() + "/b.txt"), "old b");
    EXPECT_EQ(read(volume + "/USERS/a.txt"), "new a"); // the source stays too
    EXPECT_EQ(read(destination() + "/c.txt"), "new c");
    EXPECT_EQ(f->grid.rows(), 3);
    EXPECT_EQ(logLines().filter(", Unable to move ").size(), 2);
}

TEST_F(Move, OverwritingReplacesTheDestinationInOneRename) {
    write(volume + "/USERS/a.txt", "new a");
    write(destination() + "/a.txt", "old a");
    list();
    const std::optional<MoveCounts> counts = move(false, true);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->moved, 1);
    EXPECT_EQ(read(destination() + "/a.txt"), "new a");
    EXPECT_FALSE(QFile::exists(volume + "/USERS/a.txt"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_TRUE(lines[1].contains(", Replaced " + destination() + "/a.txt; by ")) << lines[1].toStdString();
    EXPECT_EQ(QDir(destination()).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
}

TEST_F(Move, ANewVersionSavedInTheMomentBeforeTheActIsKept) {
    write(volume + "/USERS/a.txt", "listed");
    list();
    MoveOptions options{destination(), false, false};
    options.beforeAct = [this](const QByteArray&) {
        write(volume + "/USERS/a.txt.new", "the new version");
        ::rename(QFile::encodeName(volume + "/USERS/a.txt.new").constData(),
                 QFile::encodeName(volume + "/USERS/a.txt").constData());
    };
    OperationsLog log(logDir.filePath("Quarvo.log"));
    const std::optional<MoveCounts> counts = btnMoveFiles_Click(f->env, options, log);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->notMoved, 1);
    EXPECT_EQ(read(volume + "/USERS/a.txt"), "the new version");
    EXPECT_EQ(QDir(volume + "/USERS").entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"});
    EXPECT_TRUE(QDir(destination()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(logLines().filter("has changed since it was listed: it was replaced by another file").size(), 1);
}

// Temporary names of other runs are theirs: reported, never removed.
TEST_F(Move, AStrayTemporaryOfAnotherRunIsNotDeleted) {
    write(volume + "/USERS/a.txt", "new a");
    write(destination() + "/a.txt", "old a");
    write(destination() + "/.quarvo-move-x", "someone's");
    const timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(destination() + "/.quarvo-move-x").constData(), old, 0), 0);
    list();
    ASSERT_EQ(move(false, true)->moved, 1);
    EXPECT_EQ(read(destination() + "/.quarvo-move-x"), "someone's");
    EXPECT_EQ(logLines().filter("; Found " + destination() + "/.quarvo-move-x: ").size(), 1);
}

TEST_F(Move, AcrossFileSystemsTheContentModeAndTimesArriveBeforeTheSourceGoes) {
    const ScopedTmpfs memory(QFile::encodeName(destination()), "8m");
    if (!memory.mounted())
        GTEST_SKIP() << memory.why().toStdString();
    const QString source = volume + "/USERS/report.dat";
    write(source, QByteArray(300000, 'q'));
    ASSERT_EQ(::chmod(QFile::encodeName(source).constData(), 0640), 0);
    const timespec times[2] = {{1000000000, 0}, {1200000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(source).constData(), times, 0), 0);
    list();
    const std::optional<MoveCounts> counts = move(false, false);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->moved, 1);
    const QString moved = destination() + "/report.dat";
    EXPECT_EQ(read(moved), QByteArray(300000, 'q'));
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(moved).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(st.st_mtim.tv_sec, 1200000000);
    EXPECT_FALSE(QFile::exists(source));
    EXPECT_EQ(QDir(destination()).entryList(QDir::Files | QDir::Hidden), QStringList{"report.dat"});
}

TEST_F(Move, ACopyThatDoesNotFitLeavesTheSourceAndNoTemporaryFile) {
    const ScopedTmpfs memory(QFile::encodeName(destination()), "64k");
    if (!memory.mounted())
        GTEST_SKIP() << memory.why().toStdString();
    const QString source = volume + "/USERS/big.dat";
    write(source, QByteArray(1 << 20, 'b'));
    list();
    const std::optional<MoveCounts> counts = move(false, false);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->notMoved, 1);
    EXPECT_EQ(QFileInfo(source).size(), 1 << 20);
    EXPECT_TRUE(QDir(destination()).entryList(QDir::Files | QDir::Hidden).isEmpty());
    EXPECT_EQ(f->grid.rows(), 2);
}

// Across file systems with a large file: the copy runs while the window
// polls, and whatever happens meanwhile, no data is lost.
class MoveAcross : public Move {
protected:
    MoveAcross() : memory(QFile::encodeName(destination()), "64m") {}
    void SetUp() override {
        if (!memory.mounted())
            GTEST_SKIP() << memory.why().toStdString();
        source = volume + "/USERS/big.dat";
        write(source, QByteArray(16 << 20, 'o'));
        list();
    }
    MoveCounts moveStoppable() {
        OperationsLog log(logDir.filePath("Quarvo.log"));
        return btnMoveFiles_Click(f->env, MoveOptions{destination(), false, false, &stop}, log).value_or(MoveCounts{});
    }
    QStringList destinationEntries() const {
        return QDir(destination()).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }
    ScopedTmpfs memory;
    QString source;
    std::atomic<bool> stop{false};
};

TEST_F(MoveAcross, ANewVersionSavedOverTheSourceDuringTheCopySurvivesAndTheCopyIsTakenBack) {
    f->host.onPoll = [this] {
        if (QFile::exists(volume + "/USERS/big.dat.new"))
            return;
        write(volume + "/USERS/big.dat.new", "the new version");
        ::rename(QFile::encodeName(volume + "/USERS/big.dat.new").constData(), QFile::encodeName(source).constData());
        f->host.onPoll = nullptr;
    };
    const MoveCounts counts = moveStoppable();
    EXPECT_EQ(counts.notMoved, 1);
    EXPECT_EQ(read(source), "the new version");
    EXPECT_TRUE(destinationEntries().isEmpty());
    EXPECT_EQ(logLines().filter("it changed while it was copied").size() +
                  logLines().filter("has changed since it was listed").size(),
              1);
}

// Overwriting: the file it would replace is only set aside until the move
// is certain; whatever stops the move, that file is as it was.
TEST_F(MoveAcross, AFailedOverwriteLeavesTheReplacedFileAsItWas) {
    write(destination() + "/big.dat", "the old destination");
    const QString folder = volume + "/USERS";
    if (QProcess::execute("chattr", {"+i", folder}) != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    OperationsLog log(logDir.filePath("Quarvo.log"));
    const std::optional<MoveCounts> counts =
        btnMoveFiles_Click(f->env, MoveOptions{destination(), false, true, &stop}, log);
    QProcess::execute("chattr", {"-i", folder});
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(counts->notMoved, 1);
    EXPECT_EQ(read(destination() + "/big.dat"), "the old destination");
    EXPECT_EQ(destinationEntries(), QStringList{"big.dat"});
    EXPECT_EQ(QFileInfo(source).size(), 16 << 20);
    EXPECT_EQ(logLines().filter("Replaced").size(), 0);
    EXPECT_EQ(logLines().filter(" Unable to move ").size(), 1);
}

TEST_F(MoveAcross, ASourceChangedDuringTheCopyLeavesTheReplacedFileAsItWas) {
    write(destination() + "/big.dat", "the old destination");
    MoveOptions options{destination(), false, true, &stop};
    int acts = 0;
    options.beforeAct = [&](const QByteArray&) {
        if (++acts != 2)
            return; // the second act is the removal of the copied source
        write(volume + "/USERS/big.dat.new", "the new version");
        ::rename(QFile::encodeName(volume + "/USERS/big.dat.new").constData(), QFile::encodeName(source).constData());
    };
    OperationsLog log(logDir.filePath("Quarvo.log"));
    const std::optional<MoveCounts> counts = btnMoveFiles_Click(f->env, options, log);
    ASSERT_TRUE(counts.has_value());
    EXPECT_EQ(acts, 2);
    EXPECT_EQ(counts->notMoved, 1);
    EXPECT_EQ(read(destination() + "/big.dat"), "the old destination");
    EXPECT_EQ(destinationEntries(), QStringList{"big.dat"});
    EXPECT_EQ(read(source), "the new version");
    EXPECT_EQ(QDir(volume + "/USERS").entryList(QDir::Files | QDir::Hidden), QStringList{"big.dat"});
    EXPECT_EQ(logLines().filter("Replaced").size(), 0);
    EXPECT_EQ(logLines().filter("it changed while it was copied: it was replaced by another file").size(), 1);
}

// As a user who may not remove the source (a folder of root's): the copy
// is taken back and the file it would have replaced is there again.
TEST_F(MoveAcross, ASourceTheUserMayNotRemoveLeavesTheReplacedFileAsItWas) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to hand the destination to another user";
    write(destination() + "/big.dat", "the old destination");
    ASSERT_EQ(::chmod(QFile::encodeName(destination()).constData(), 0777), 0);
    ASSERT_EQ(::chown(QFile::encodeName(destination() + "/big.dat").constData(), 65534, 65534), 0);
    // The volume reachable but not writable, the log and the destination writable.
    for (QString up = volume + "/USERS"; up.startsWith(QDir::tempPath() + "/"); up = QFileInfo(up).path())
        ASSERT_EQ(::chmod(QFile::encodeName(up).constData(), 0755), 0);
    for (const QString& open : {out.path(), logDir.path()})
        ASSERT_EQ(::chmod(QFile::encodeName(open).constData(), 0777), 0);
    const UnprivilegedResult result = runUnprivileged([this] {
        OperationsLog log(logDir.filePath("Quarvo.log"));
        const std::optional<MoveCounts> counts =
            btnMoveFiles_Click(f->env, MoveOptions{destination(), false, true}, log);
        return QByteArray::number(counts ? counts->notMoved : -1);
    });
    ASSERT_TRUE(result.output.has_value()) << result.why.toStdString();
    EXPECT_EQ(*result.output, "1");
    EXPECT_EQ(read(destination() + "/big.dat"), "the old destination");
    EXPECT_EQ(destinationEntries(), QStringList{"big.dat"});
    EXPECT_EQ(QFileInfo(source).size(), 16 << 20);
}

TEST_F(MoveAcross, ANewVersionSavedInTheMomentBeforeTheActIsKept) {
    MoveOptions options{destination(), false, false};
    options.beforeAct = [this](const QByteArray&) {
        write(volume + "/USERS/big.dat.new", "the new version");
        ::rename(QFile::encodeName(volume + "/USERS/big.dat.new").constData(), QFile::encodeName(source).constData());
    };
    OperationsLog log(logDir.filePath("Quarvo.log"));
    EXPECT_EQ(btnMoveFiles_Click(f->env, options, log)->notMoved, 1);
    EXPECT_EQ(read(source), "the new version");
    EXPECT_TRUE(destinationEntries().isEmpty());
    EXPECT_EQ(logLines().filter("has changed since it was listed: it was replaced by another file").size(), 1);
}

// Stop between two of many small files: each file is whole on exactly one
// side, and the counts, the log and the files agree.
TEST_F(MoveAcross, StopDuringAMoveOfManySmallFilesEndsItBetweenTwoFiles) {
    QFile::remove(source);
    for (int i = 0; i < 2000; ++i)
        write(QStringLiteral("%1/USERS/f%2.txt").arg(volume).arg(i, 4, 10, QLatin1Char('0')), QByteArray(4096, 'x'));
    list();
    int acts = 0;
    MoveOptions options{destination(), false, false, &stop};
    options.beforeAct = [&](const QByteArray&) {
        if (++acts == 1)
            std::this_thread::sleep_for(std::chrono::milliseconds(50)); // long enough for the window to show progress
        stop = acts == 2 * 100 || stop; // pressed at the 100th file: two acts a file, its copy and its removal
    };
    OperationsLog log(logDir.filePath("Quarvo.log"));
    const MoveCounts counts = btnMoveFiles_Click(f->env, options, log).value_or(MoveCounts{});
    const QStringList there = QDir(destination()).entryList(QDir::Files | QDir::Hidden);
    const QStringList here = QDir(volume + "/USERS").entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(counts.moved, 100);
    EXPECT_EQ(there.size(), counts.moved);
    EXPECT_EQ(here.size() + there.size(), 2000);
    for (const QString& name : there)
        EXPECT_FALSE(here.contains(name)) << name.toStdString();
    for (const QString& name : there)
        EXPECT_EQ(QFileInfo(destination() + "/" + name).size(), 4096);
    EXPECT_EQ(logLines().filter(", Moved ").size(), counts.moved);
    EXPECT_EQ(f->grid.rows() - 1, here.size());
    EXPECT_FALSE(f->host.statuses.filter(QRegularExpression("^Moving: [0-9,]+ of 2,000 files, [0-9.]+ of 7.81 MB done$"))
                     .isEmpty());
}

TEST_F(MoveAcross, StopDuringTheCopyLeavesTheSourceAndNothingAtTheDestination) {
    MoveOptions options{destination(), false, false, &stop};
    options.beforeAct = [this](const QByteArray&) { stop = true; }; // pressed as the copy begins
    OperationsLog log(logDir.filePath("Quarvo.log"));
    const MoveCounts counts = btnMoveFiles_Click(f->env, options, log).value_or(MoveCounts{});
    EXPECT_EQ(counts.moved, 0);
    EXPECT_EQ(QFileInfo(source).size(), 16 << 20);
    EXPECT_TRUE(destinationEntries().isEmpty());
}

TEST_F(MoveAcross, ASourceThatCannotBeRemovedLeavesNoCopy) {
    const QString folder = volume + "/USERS";
    if (QProcess::execute("chattr", {"+i", folder}) != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    const MoveCounts counts = moveStoppable();
    QProcess::execute("chattr", {"-i", folder});
    EXPECT_EQ(counts.notMoved, 1);
    EXPECT_EQ(QFileInfo(source).size(), 16 << 20);
    EXPECT_TRUE(destinationEntries().isEmpty());
}

TEST_F(MoveAcross, HardLinksMovedTogetherStayOneFile) {
    ASSERT_EQ(::link(QFile::encodeName(source).constData(), QFile::encodeName(volume + "/USERS/twin.dat").constData()), 0);
    list();
    const MoveCounts counts = moveStoppable();
    EXPECT_EQ(counts.moved, 2);
    struct stat a {};
    struct stat b {};
    ASSERT_EQ(::stat(QFile::encodeName(destination() + "/big.dat").constData(), &a), 0);
    ASSERT_EQ(::stat(QFile::encodeName(destination() + "/twin.dat").constData(), &b), 0);
    EXPECT_EQ(a.st_ino, b.st_ino);
    EXPECT_EQ(a.st_nlink, 2u);
    EXPECT_FALSE(QFile::exists(source));
}

// Killed at any moment of a 300 MB move across file systems: the
// destination holds nothing or the whole file, and the file is somewhere.
TEST_F(MoveAcross, KilledAtAnyMomentLeavesNoPartialFile) {
    const ScopedTmpfs large(QFile::encodeName(destination()), "400m");
    ASSERT_TRUE(large.mounted());
    const qint64 size = 300ll << 20;
    for (int moment = 0; moment < 10; ++moment) {
        QFile::remove(destination() + "/big.dat");
        if (QFileInfo(source).size() != size) {
            ASSERT_TRUE(TreeBuilder::dense(source, size));
        }
        list();
        const pid_t child = ::fork();
        if (child == 0) {
            OperationsLog log(logDir.filePath("Quarvo.log"));
            btnMoveFiles_Click(f->env, MoveOptions{destination(), false, false}, log);
            ::_exit(0);
        }
        ::usleep(useconds_t(moment * 40000));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const QStringList there = destinationEntries();
        EXPECT_TRUE(there.isEmpty() || there == QStringList{"big.dat"}) << there.join(",").toStdString();
        EXPECT_TRUE(there.isEmpty() || QFileInfo(destination() + "/big.dat").size() == size) << "at moment " << moment;
        EXPECT_TRUE(QFile::exists(source) || !there.isEmpty());
    }
}
