// Whole command-line runs in this process, where a test can press Ctrl-C at
// a chosen moment: the real signal, the real host, real files.
#include "acme_site.h"
#include "reports/cell_format.h"
#include "temporary_file.h"
#include "text_files.h"
#include "unprivileged_run.h"

#include "app/cli_host.h"
#include "app/command_line_mode.h"

#include <QDir>
#include <QFile>

#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>

namespace {

// A user who presses Ctrl-C once the grid holds the given number of rows
// (heading row included); never when it is 0.
class CtrlCAfterRows : public CliHost {
  public:
    CtrlCAfterRows(std::atomic<bool>& cancel, const RunState& run, std::FILE* out,
                   const ResultGrid& grid)
        : CliHost(cancel, run, Options{out, false, 80}), m_grid(grid) {}
    qsizetype pressAt = 0;
    bool pressWhenSaving = false;
    void setStatus(const QString& text) override {
        if (pressWhenSaving && text.startsWith("Saving row"))
            ::raise(SIGINT);
        CliHost::setStatus(text);
    }
    void pollEvents() override {
        if (pressAt > 0 && m_grid.rows() >= pressAt) {
            ::raise(SIGINT);
            pressAt = 0;
        }
        CliHost::pollEvents();
    }

  private:
    const ResultGrid& m_grid;
};

QByteArray contents(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

class InProcessRun : public ::testing::Test {
  protected:
    InProcessRun() {
        tree = QFile::decodeName(acme.root("VOL1")) + "/TREE";
        for (int i = 0; i < 40; ++i)
            QDir().mkpath(tree + QString("/d%1/inner").arg(i, 2, 10, QLatin1Char('0')));
        output = acme.dir() + "/dirs.csv";
        QFile old(output);
        old.open(QIODevice::WriteOnly);
        old.write("yesterday\r\n");
    }

    int run(const QString& args) {
        client.NWCallsInit();
        app.commandLineMode = true;
        host.catchStopSignals();
        return subRunCommandLine(args, env, {}, host);
    }

    AcmeSite acme;
    QString tree;
    QString output;
    TemporaryFile err;
    RunState state;
    ResultGrid grid;
    CtrlCAfterRows host{state.cancel, state, err.file, grid};
    NetWareClient client{acme.site()};
    AppState app;
    SearchSettings search = SearchSettings::withDefaults(CellFormat::shortDate(QDate::currentDate()));
    ResultsView view;
    VolumeView volumes{client};
    ReportEnv env{app, search, state, grid, view, host, client, volumes};
};

const QString kAllSubs = "/T=ACME_TREE /F=DIRECTORY /D=\\\\FS1\\VOL1\\TREE /ALLSUBS /OUTFILE=";

} // namespace

TEST_F(InProcessRun, CtrlCKeepsTheRowsFoundBesideTheFormerFile) {
    host.pressAt = 5;
    EXPECT_EQ(run(kAllSubs + output), 3);
    EXPECT_EQ(contents(output), "yesterday\r\n");
    const QStringList kept = readCrlfLines(output + ".partial");
    EXPECT_GE(kept.size(), 4);
    EXPECT_LT(kept.size(), 81); // the start, 40 directories and their 40 inner ones
    EXPECT_TRUE(kept[0].endsWith(",FS1,VOL1,\\\\FS1\\VOL1\\TREE,0.00")) << kept[0].toStdString();
    const QString text = err.text();
    EXPECT_EQ(text.count("Process Cancelled!"), 1) << text.toStdString();
    EXPECT_TRUE(text.contains("quarvo: The rows found before the run stopped are in " + output +
                              ".partial; " + output + " is as it was.\n"))
        << text.toStdString();
}

TEST_F(InProcessRun, CtrlCBeforeAnyRowLeavesEverythingAsItWas) {
    host.catchStopSignals();
    ::raise(SIGINT); // waits, held back, for the first poll of the run
    EXPECT_EQ(run(kAllSubs + output), 3);
    EXPECT_EQ(contents(output), "yesterday\r\n");
    EXPECT_FALSE(QFile::exists(output + ".partial"));
    EXPECT_EQ(QDir(acme.dir()).entryList(QDir::Files), QStringList{"dirs.csv"});
}

// Ctrl-C while the last rows are written: the output is not put in place,
// replaced or appended to, and the run says so with exit 3.
TEST_F(InProcessRun, CtrlCWhileTheResultsAreWrittenLeavesTheFileAsItWas) {
    host.pressWhenSaving = true;
    for (const QString append : {"", " /APPEND"}) {
        EXPECT_EQ(run(kAllSubs + output + append), 3) << append.toStdString();
        EXPECT_EQ(contents(output), "yesterday\r\n");
        EXPECT_EQ(QDir(acme.dir()).entryList(QDir::Files), QStringList{"dirs.csv"});
    }
    EXPECT_TRUE(err.text().contains("Stopped while the results were written; " + output + " is as it was."))
        << err.text().toStdString();
}

TEST_F(InProcessRun, TheOutcomeIsPrintedOnceWithWhatCouldNotBeRead) {
    const QString vol1 = QFile::decodeName(acme.root("VOL1"));
    for (const QString& d : {acme.dir(), vol1, tree})
        ::chmod(QFile::encodeName(d).constData(), 0777);
    ::chmod(QFile::encodeName(tree + "/d07").constData(), 0);
    const UnprivilegedResult result = runUnprivileged([this] {
        const int status = run(kAllSubs + acme.dir() + "/mine.csv");
        return (QString::number(status) + "#" + err.text()).toUtf8();
    });
    ::chmod(QFile::encodeName(tree + "/d07").constData(), 0755);
    if (!result.output) GTEST_SKIP() << result.why.toStdString();
    const QString text = QString::fromUtf8(*result.output);
    EXPECT_TRUE(text.startsWith("0#")) << text.toStdString();
    EXPECT_EQ(text.count("Process Complete."), 1) << text.toStdString();
    EXPECT_TRUE(text.contains(QRegularExpression("#Process Complete\\. [^\n]* in [0-9.]+ s \\(1 entries could not be read\\) \\(Directory report of [^\n]+\\)\nTotal Results: ")))
        << text.toStdString();
}
