#include "report_fixture.h"
#include "scoped_tmpfs.h"

#include "fileops/file_move.h"
#include "reports/report_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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
