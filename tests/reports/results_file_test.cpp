#include "report_fixture.h"
#include "scoped_locale.h"
#include "text_files.h"
#include "tree_builder.h"

#include "reports/grid_layouts.h"
#include "reports/report_run.h"
#include "reports/results_file.h"

#include <QFile>
#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace ResultsFile;

namespace {

ResultGrid volumesGrid() {
    ResultGrid grid;
    subInitializeGrid(grid, "Volumes");
    grid.addRow({"3906.25", "976.5625", "2929.6875", "\\\\FS1\\SYS", "       3,906.25", "       2,929.69",
                 "           0.00", "           0.00", "         976.56", " 25%"});
    grid.addRow({"Unavailable", "Unavailable", "Unavailable", "\\\\FS2\\VOL1", "Unavailable", "Unavailable",
                 "Unavailable", "Unavailable", "Unavailable", "N/A"});
    return grid;
}

ResultGrid fileGrid() {
    ResultGrid grid;
    subInitializeGrid(grid, "File");
    grid.addRow({"11720", "\\\\FS1\\VOL1\\2022", "007", "42", "      2,097,152", "2/2/2022", "12:00 PM"});
    grid.addRow({"11720", "\\\\FS1\\VOL1\\1.5", "1,000", "JSMITH", "              1", "2/2/2022", "12:00 PM"});
    grid.addRow({"11720", "\\\\FS1\\VOL1", " 1.5 ", "12.5", "             12", "2/2/2022", "12:00 PM"});
    return grid;
}

} // namespace

TEST(CellConversion, FigureColumnsLoseSeparatorsOtherColumnsAreOnlyTrimmed) {
    const std::pair<const char*, const char*> headingAndCell[] = {
        {"Size(MB)", "       3,906.25"}, {"Size", "1,234,567"}, {"Used Space(MB)", "12.5"}, {"% Free", "N/A"},
        {"Size(MB)", "  Size(MB) "},       {"% Free", " 25%"},   {"File", "007"},             {"File", " 1,000 "},
        {"Owner", "1.5"},                  {"Directory", "\\\\FS1\\VOL1\\2022"},  {"Modify Date", "02.02.2022"}};
    QStringList written;
    for (const auto& [heading, cell] : headingAndCell)
        written.append(convertCell(heading, cell));
    EXPECT_EQ(written, (QStringList{"3906.25", "1234567", "12.50", "N/A", "Size(MB)", "25%", "007", "1,000", "1.5",
                                    "\\\\FS1\\VOL1\\2022", "02.02.2022"}));
}

TEST(CellConversion, NamesThatLookLikeNumbersKeepTheirForm) {
    const ResultGrid grid = fileGrid();
    EXPECT_EQ(rowFields(grid, 1),
              (QStringList{"\\\\FS1\\VOL1\\2022", "007", "42", "2097152", "2/2/2022", "12:00 PM"}));
    EXPECT_EQ(rowFields(grid, 2),
              (QStringList{"\\\\FS1\\VOL1\\1.5", "1,000", "JSMITH", "1", "2/2/2022", "12:00 PM"}));
    EXPECT_EQ(rowFields(grid, 3), (QStringList{"\\\\FS1\\VOL1", "1.5", "12.5", "12", "2/2/2022", "12:00 PM"}));
}

TEST(CellConversion, CommaDecimalLocaleFigures) {
    const ScopedLocale german(ScopedLocale::german());
    ResultGrid volumes;
    subInitializeGrid(volumes, "Volumes");
    volumes.addRow({"3906,25", "976,5625", "2929,6875", "\\\\FS1\\SYS", "       3.906,25", "       2.929,69",
                    "           0,00", "           0,00", "         976,56", " 25%"});
    EXPECT_EQ(rowFields(volumes, 1),
              (QStringList{"\\\\FS1\\SYS", "3906,25", "2929,69", "0,00", "0,00", "976,56", "25%"}));
    ResultGrid owners;
    subInitializeGrid(owners, "Owner");
    owners.addRow({"", "JSMITH", "           1,50"});
    owners.addRow({"", "1.234", "       1.234,50"});
    EXPECT_EQ(rowFields(owners, 1), (QStringList{"JSMITH", "1,50"}));
    EXPECT_EQ(rowFields(owners, 2), (QStringList{"1.234", "1234,50"}));
    ResultGrid files;
    subInitializeGrid(files, "File");
    files.addRow({"11720", "\\\\FS1\\VOL1", "1,5", "ADMIN", "      2.097.152", "02.02.2022", "12:00 PM"});
    EXPECT_EQ(rowFields(files, 1),
              (QStringList{"\\\\FS1\\VOL1", "1,5", "ADMIN", "2097152", "02.02.2022", "12:00 PM"}));
}

TEST(CellConversion, HiddenColumnsAreNeverWritten) {
    const ResultGrid grid = volumesGrid();
    EXPECT_EQ(rowFields(grid, 0), (QStringList{"Volume", "Size(MB)", "Used Space(MB)", "Purgeable(MB)",
                                               "Not Yet Purgeable(MB)", "Free Space(MB)", "% Free"}));
    EXPECT_EQ(rowFields(grid, 1),
              (QStringList{"\\\\FS1\\SYS", "3906.25", "2929.69", "0.00", "0.00", "976.56", "25%"}));
}

TEST(Quoting, OnlyFieldsHoldingTheDelimiterAQuoteOrALineBreak) {
    EXPECT_EQ(joinFields({"a", "b,c", "d"}, ","), "a,\"b,c\",d");
    EXPECT_EQ(joinFields({"say \"hi\"", "x"}, ","), "\"say \"\"hi\"\"\",x");
    EXPECT_EQ(joinFields({"two\nlines", "x"}, ";"), "\"two\nlines\";x");
    EXPECT_EQ(joinFields({"b,c", "d"}, ";"), "b,c;d");
    EXPECT_EQ(joinFields({"a||b", "c"}, "||"), "\"a||b\"||c");
    EXPECT_EQ(joinFields({"a|b", "c"}, "||"), "a|b||c");
}

TEST(InteractiveSave, WritesHeadingsAndRowsWithTheDelimiter) {
    QTemporaryDir dir;
    ResultGrid grid;
    subInitializeGrid(grid, "Directory");
    grid.addRow({"", "\\\\FS1\\VOL1\\USERS", "       1,024.00"});
    RecordingHost host;
    const QString path = dir.path() + "/out.csv";
    ASSERT_TRUE(subSaveResultsFile(grid, path, ";", host));
    EXPECT_EQ(readCrlfLines(path), (QStringList{"Directory;Size(MB)", "\\\\FS1\\VOL1\\USERS;1024.00"}));
    EXPECT_TRUE(host.statuses.contains("Saving row 1"));
    EXPECT_EQ(host.statuses.last(), "Save Complete");
}

TEST(InteractiveSave, AFileThatCannotBeCreatedEndsCancelled) {
    ResultGrid grid = volumesGrid();
    RecordingHost host;
    EXPECT_FALSE(subSaveResultsFile(grid, "/nonexistent-dir/out.csv", ",", host));
    EXPECT_EQ(host.statuses.last(), "Save Cancelled");
}

class CommandLineOutput : public ::testing::Test {
protected:
    CommandLineOutput() : f(SiteBuilder().site()) {
        f.app.commandLineMode = true;
        f.app.outputFilePath = dir.path() + "/volumes.csv";
        f.search.tabSearch = ReportKind::Volume;
        f.grid = volumesGrid();
    }
    QStringList write() {
        EXPECT_EQ(writeCommandLineOutput(f.env), "");
        return readCrlfLines(f.app.outputFilePath);
    }
    QTemporaryDir dir;
    ReportFixture f;
};

TEST_F(CommandLineOutput, VolumeRunHeadingsStartWithRunDate) {
    f.app.headings = true;
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], "Run Date,Volume,Size(MB),Used Space(MB),Purgeable(MB),Not Yet Purgeable(MB),"
                        "Free Space(MB),% Free");
    const QRegularExpression dated("^\\d{1,2}/\\d{1,2}/\\d{4} \\d{1,2}:\\d{2}:\\d{2} [AP]M,");
    EXPECT_TRUE(dated.match(lines[1]).hasMatch()) << lines[1].toStdString();
    EXPECT_TRUE(lines[1].endsWith(",\\\\FS1\\SYS,3906.25,2929.69,0.00,0.00,976.56,25%"));
    EXPECT_TRUE(lines[2].endsWith(",\\\\FS2\\VOL1,Unavailable,Unavailable,Unavailable,Unavailable,Unavailable,N/A"));
}

TEST_F(CommandLineOutput, WithoutHeadingsOnlyResultLines) {
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_FALSE(lines[0].startsWith("Run Date"));
}

TEST_F(CommandLineOutput, OtherReportsLeadWithServerAndVolume) {
    f.search.tabSearch = ReportKind::Directory;
    f.search.cmbServer.showOrAdd("FS1");
    f.search.cmbVolumeList.showOrAdd("VOL1");
    subInitializeGrid(f.grid, "Directory");
    f.grid.addRow({"", "\\\\FS1\\VOL1\\A", "       2.00"});
    f.app.headings = true;
    f.app.saveFileDelimiter = "||";
    const QStringList lines = write();
    ASSERT_EQ(lines.size(), 2);
    EXPECT_EQ(lines[0], "Run Date||Server||Volume||Directory||Size(MB)");
    EXPECT_TRUE(lines[1].endsWith("||FS1||VOL1||\\\\FS1\\VOL1\\A||2.00"));
    EXPECT_FALSE(lines[1].endsWith("|"));
}

TEST_F(CommandLineOutput, AppendAddsToTheFileAndReplaceStartsOver) {
    f.app.headings = true;
    f.app.append = true;
    write();
    const QStringList twice = write();
    ASSERT_EQ(twice.size(), 6);
    EXPECT_TRUE(twice[0].startsWith("Run Date,"));
    EXPECT_TRUE(twice[3].startsWith("Run Date,"));
    f.app.append = false;
    EXPECT_EQ(write().size(), 3);
}

TEST_F(CommandLineOutput, SemicolonDelimiterAndAQuotedCell) {
    f.app.saveFileDelimiter = ";";
    f.grid.setCell(1, 3, "\\\\FS1\\A;B");
    const QStringList lines = write();
    EXPECT_TRUE(lines[0].contains(";\"\\\\FS1\\A;B\";3906.25;")) << lines[0].toStdString();
}

TEST_F(CommandLineOutput, UnwritableFileIsReported) {
    f.app.outputFilePath = dir.path() + "/missing-dir/out.csv";
    const QString error = writeCommandLineOutput(f.env);
    EXPECT_TRUE(error.startsWith("Cannot open " + f.app.outputFilePath)) << error.toStdString();
}

// A File run over real files in a comma-decimal locale, written as a
// command-line run writes it.
TEST_F(CommandLineOutput, FileRunInACommaDecimalLocale) {
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
    run.app.outputFilePath = dir.path() + "/files.csv";
    run.app.saveFileDelimiter = ";";
    run.search.tabSearch = ReportKind::File;
    run.search.cmbServer.showOrAdd("FS1");
    run.search.cmbVolumeList.showOrAdd("VOL1");
    run.search.lblDirectory = "\\\\FS1\\VOL1\\docs";
    run.search.txtFileType = "*";
    btnShowUsage_Click(run.env);
    ASSERT_EQ(run.grid.cell(1, 4).trimmed(), "2.097.152");
    ASSERT_EQ(writeCommandLineOutput(run.env), "");
    const QStringList lines = readCrlfLines(run.app.outputFilePath);
    ASSERT_EQ(lines.size(), 3);
    QStringList namesSizesDates; // after Run Date, Server, Volume, Directory: File, Owner, Size, Date
    for (const QString& line : lines) {
        const QStringList fields = line.split(';');
        namesSizesDates.append(QStringList{fields.value(4), fields.value(6), fields.value(7)}.join('|'));
    }
    EXPECT_EQ(namesSizesDates,
              (QStringList{"007|2097152|02.02.2022", "1,000|2097152|02.02.2022", "1.5|2097152|02.02.2022"}));
}

TEST_F(CommandLineOutput, AFullDeviceIsReported) {
    if (!QFile::exists("/dev/full"))
        GTEST_SKIP() << "no /dev/full here";
    f.app.outputFilePath = "/dev/full";
    EXPECT_TRUE(writeCommandLineOutput(f.env).startsWith("Cannot write /dev/full"));
}
