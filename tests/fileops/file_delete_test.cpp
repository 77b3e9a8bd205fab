#include "report_fixture.h"

#include "fileops/file_delete.h"
#include "reports/report_run.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

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
    EXPECT_EQ(f->host.questions, QStringList{"Are you sure you want to delete the selected file?"});
    EXPECT_EQ(f->grid.rows(), 1);
    EXPECT_FALSE(QFile::exists(root + "/a.txt"));
    const QStringList lines = logLines();
    ASSERT_EQ(lines.size(), 1);
    EXPECT_TRUE(lines[0].endsWith(", Deleted \\\\FS1\\VOL1\\docs\\a.txt")) << lines[0].toStdString();
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
    EXPECT_EQ(f->host.questions.last(), "Are you sure you want to delete the selected files?");
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

TEST(OperationsLogPlace, TheProgramFolderWhenWritableElseTheStateFolder) {
    QTemporaryDir dir;
    EXPECT_EQ(OperationsLog::pathFor(dir.path()), dir.path() + "/Quarvo.log");
    qputenv("XDG_STATE_HOME", QFile::encodeName(dir.path() + "/state"));
    EXPECT_EQ(OperationsLog::pathFor("/nonexistent-folder"), dir.path() + "/state/Quarvo/Quarvo.log");
    qunsetenv("XDG_STATE_HOME");
}
