#include "report_fixture.h"
#include "scoped_locale.h"
#include "text_files.h"
#include "tree_builder.h"

#include "reports/grid_layouts.h"
#include "reports/report_run.h"
#include "reports/results_file.h"

#include <QFile>

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
