#include "report_fixture.h"

#include "fileops/file_delete.h"
#include "fileops/held_file.h"
#include "fileops/row_selection.h"
#include "reports/report_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>

namespace {

// A File listing of \\FS1\VOL1\docs, whose files the tests delete.
class Delete : public ::testing::Test {
protected:
    Delete() {
        builder.tree("ACME_TREE").server("FS1", {"VOL1"});
        root = QFile::decodeName(builder.rootOf("FS1", "VOL1")) + "/docs";
        QDir().mkpath(root);
    }
    void touch(const QString& name, qint64 size = 10) {
        QFile file(root + "/" + name);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.resize(size);
    }
    void list() {
        f = std::make_unique<ReportFixture>(builder.site());
        f->listFiles("\\\\FS1\\VOL1\\docs");
        directory = f->grid.fcnFindColumn("Directory");
        file = f->grid.fcnFindColumn("File");
        f->host.answer = true;
        f->host.messages.clear();
        f->host.statuses.clear();
    }
    QStringList names() const {
        QStringList rows;
        for (qsizetype row = 1; row < f->grid.rows(); ++row)
            rows.append(f->grid.cell(row, file));
        return rows;
    }
    qint64 remove(qsizetype row, qsizetype rowSel) {
        f->grid.Row = row;
        f->grid.RowSel = rowSel;
        OperationsLog log(logPath());
        return Menu_Popup_Delete_Click(f->env, directory, file, log);
    }
    QString logPath() const { return logDir.filePath("Quarvo.log"); }
    QStringList logLines() const {
        QFile log(logPath());
        if (!log.open(QIODevice::ReadOnly))
            return {};
        QStringList lines = QString::fromUtf8(log.readAll()).split("\r\n");
        lines.removeLast(); // after the last line end
        return lines;
    }

    SiteBuilder builder;
    QString root;
    QTemporaryDir logDir;
    std::unique_ptr<ReportFixture> f;
    int directory = 0;
    int file = 0;
};

} // namespace

TEST_F(Delete, TheOnlyRowDeletedLeavesTheHeadingsAndALogLine) {
    touch("a.txt");
    list();
    ASSERT_EQ(names(), QStringList{"a.txt"});
    EXPECT_EQ(remove(1, 1), 1);
    EXPECT_EQ(f->host.questions,
              QStringList{"Are you sure you want to delete the selected file?\n\n\\\\FS1\\VOL1\\docs\\a.txt (0.00 MB)"});
    EXPECT_EQ(f->grid.rows(), 1);
    EXPECT_FALSE(QFile::exists(root + "/a.txt"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].contains(", Deleted \\\\FS1\\VOL1\\docs\\a.txt; by ")) << lines[0].toStdString();
    EXPECT_EQ(f->host.statuses.last(), "Deleted \\\\FS1\\VOL1\\docs\\a.txt");
    EXPECT_EQ(f->view.lblGraphStats, "Total Results: 0    |    Total Size: 0.00 MB"); // recounted
}

TEST_F(Delete, NoAnswerNoDeletionAndASelectionFromBelowDeletesTheSameRows) {
    for (const char* name : {"a.txt", "b.txt", "c.txt", "d.txt"})
        touch(name);
    list();
    f->host.answer = false;
    EXPECT_EQ(remove(2, 3), 0);
    EXPECT_EQ(names().size(), 4);
    f->host.answer = true;
    EXPECT_EQ(remove(3, 2), 2); // cursor below the selection end
    EXPECT_EQ(f->host.questions.last(), "Are you sure you want to delete the selected files?\n\n"
                                        "2 files (0.00 MB), beginning with \\\\FS1\\VOL1\\docs\\b.txt");
    EXPECT_EQ(names(), (QStringList{"a.txt", "d.txt"}));
    EXPECT_TRUE(QFile::exists(root + "/a.txt"));
    EXPECT_FALSE(QFile::exists(root + "/b.txt"));
    EXPECT_FALSE(QFile::exists(root + "/c.txt"));
    // A second operation appends to the same log.
    EXPECT_EQ(remove(1, 1), 1);
    EXPECT_EQ(logLines().size(), 3);
}

TEST_F(Delete, TheSecondOfThreeThatCannotGoKeepsItsRowAndTheOthersGo) {
    touch("a.txt");
    QDir().mkpath(root + "/locked");
    touch("locked/b.txt");
    QDir().mkpath(root + "/zz");
    touch("zz/c.txt");
    list();
    ASSERT_EQ(names(), (QStringList{"a.txt", "b.txt", "c.txt"}));
    // A folder nothing may be removed from, not even by root.
    if (QProcess::execute("chattr", {"+i", root + "/locked"}) != 0)
        GTEST_SKIP() << "chattr +i is not available here";
    const qint64 gone = remove(1, 3);
    QProcess::execute("chattr", {"-i", root + "/locked"});
    EXPECT_EQ(gone, 2);
    EXPECT_EQ(names(), QStringList{"b.txt"});
    EXPECT_TRUE(QFile::exists(root + "/locked/b.txt"));
    EXPECT_EQ(f->host.messages.size(), 1);
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines.filter(", Deleted ").size(), 2);
    EXPECT_EQ(lines.filter("; Unable to delete \\\\FS1\\VOL1\\docs\\locked\\b.txt; Error:1; ").size(), 1);
}

TEST_F(Delete, ALogThatCannotBeWrittenStopsNothingButIsReported) {
    touch("a.txt");
    list();
    f->grid.Row = f->grid.RowSel = 1;
    OperationsLog log(root + "/a.txt/Quarvo.log"); // below a file: cannot be made
    EXPECT_EQ(Menu_Popup_Delete_Click(f->env, directory, file, log), 1);
    EXPECT_FALSE(QFile::exists(root + "/a.txt"));
    EXPECT_TRUE(f->host.statuses.last().startsWith("The log " + root + "/a.txt/Quarvo.log could not be written: "));
    EXPECT_EQ(f->host.messages.size(), 1);
}

// A program that saves by writing a new file and renaming it over the listed
// one, right between the check and the act: the new version survives.
TEST_F(Delete, ANewVersionSavedInTheMomentBeforeTheActIsKept) {
    touch("a.txt", 10);
    touch("b.txt", 10);
    list();
    f->grid.Row = 1;
    f->grid.RowSel = 2;
    DeleteOptions options;
    options.beforeAct = [this](const QByteArray& name) {
        if (name != "a.txt")
            return;
        touch("a.txt.new", 99);
        ::rename(QFile::encodeName(root + "/a.txt.new").constData(), QFile::encodeName(root + "/a.txt").constData());
    };
    OperationsLog log(logPath());
    EXPECT_EQ(Menu_Popup_Delete_Click(f->env, directory, file, log, options), 1);
    EXPECT_EQ(QFileInfo(root + "/a.txt").size(), 99);
    EXPECT_FALSE(QFile::exists(root + "/b.txt"));
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden), QStringList{"a.txt"}); // nothing held is left
    EXPECT_EQ(names(), QStringList{"a.txt"});
    EXPECT_EQ(logLines().filter("Unable to delete \\\\FS1\\VOL1\\docs\\a.txt; it has changed since it was listed: "
                                "it was replaced by another file").size(), 1);
}

// A held file whose name another file took meanwhile goes back beside it,
// under a visible name: both are kept.
TEST(HeldFile, GoesBackBesideAFileThatTookItsNameMeanwhile) {
    QTemporaryDir dir;
    const QString path = dir.path();
    QFile(path + "/a.txt").open(QIODevice::WriteOnly);
    const UniqueFd folder(::open(QFile::encodeName(path).constData(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    HeldFile held;
    ASSERT_EQ(held.take(folder.get(), "a.txt"), 0);
    EXPECT_EQ(held.take(folder.get(), "missing.txt"), ENOENT);
    EXPECT_TRUE(held.privateName().startsWith(".quarvo-held-" + QByteArray::number(::getpid()) + "-"));
    EXPECT_EQ(HeldFile::parse(held.privateName())->name, "a.txt");
    EXPECT_EQ(QDir(path).entryList(QDir::Files), QStringList());
    QFile(path + "/a.txt").open(QIODevice::WriteOnly);
    QByteArray keptAs;
    EXPECT_EQ(held.restore(&keptAs), 0);
    EXPECT_EQ(keptAs, "a.txt.quarvo-kept");
    EXPECT_EQ(QDir(path).entryList(QDir::Files | QDir::Hidden), QStringList({"a.txt", "a.txt.quarvo-kept"}));
}

// What a killed delete left held is given back by the next one in the
// folder; a copy another run left is reported and stays.
TEST_F(Delete, WhatAKilledOperationLeftIsGivenBackAndOthersLeftoversStay) {
    touch("a.txt");
    touch("b.txt");
    list();
    const pid_t gone = ::fork();
    if (gone == 0)
        ::_exit(0);
    ::waitpid(gone, nullptr, 0);
    const QString held = ".quarvo-held-" + QString::number(gone) + "-abc-a.txt";
    ASSERT_TRUE(QFile::rename(root + "/a.txt", root + "/" + held));
    touch(".quarvo-move-x1");
    touch(".quarvo-copy-" + QString::number(gone) + "-zz");
    f->grid.Row = f->grid.RowSel = 2;
    ASSERT_EQ(names()[1], "b.txt");
    OperationsLog log(logPath());
    EXPECT_EQ(Menu_Popup_Delete_Click(f->env, directory, file, log), 1);
    EXPECT_EQ(QDir(root).entryList(QDir::Files | QDir::Hidden),
              QStringList({".quarvo-copy-" + QString::number(gone) + "-zz", ".quarvo-move-x1", "a.txt"}));
    const QStringList lines = logLines();
    EXPECT_EQ(lines.filter(", Restored \\\\FS1\\VOL1\\docs\\" + held + " TO \\\\FS1\\VOL1\\docs\\a.txt").size(), 1);
    EXPECT_EQ(lines.filter("; Found ").size(), 2);
}

// With every highlighted row deleted, nothing is chosen any more: Copy's
// "Selected Rows" has nothing to copy and no other row stands in.
TEST_F(Delete, NothingIsChosenOnceEveryHighlightedRowIsGone) {
    touch("a.txt");
    touch("b.txt");
    touch("c.txt");
    list();
    f->grid.selectedRows = {2};
    EXPECT_EQ(remove(2, 2), 1);
    EXPECT_EQ(names(), (QStringList{"a.txt", "c.txt"}));
    EXPECT_TRUE(RowSelection::chosen(f->grid).isEmpty());
}

// Stop ends a long delete between two files: what is gone is logged and
// its rows left, what is not stays listed.
TEST_F(Delete, StopEndsItBetweenTwoFiles) {
    for (int i = 0; i < 2000; ++i)
        touch(QStringLiteral("f%1.txt").arg(i, 4, 10, QLatin1Char('0')));
    list();
    std::atomic<bool> stop{false};
    int acts = 0;
    // Pressed while the 100th file is deleted.
    const auto press = [&](const QByteArray&) { stop = ++acts == 100 || stop; };
    f->grid.Row = 1;
    f->grid.RowSel = f->grid.rows() - 1;
    OperationsLog log(logPath());
    const qint64 deleted = Menu_Popup_Delete_Click(f->env, directory, file, log, {&stop, press});
    const qsizetype left = QDir(root).entryList(QDir::Files).size();
    EXPECT_EQ(deleted, 100);
    EXPECT_EQ(left, 2000 - deleted);
    EXPECT_EQ(f->grid.rows() - 1, left);
    EXPECT_EQ(logLines().filter(", Deleted ").size(), deleted);
}
