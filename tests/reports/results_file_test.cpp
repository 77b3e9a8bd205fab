#include "report_fixture.h"
#include "text_files.h"

#include "reports/grid_layouts.h"
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

} // namespace

TEST(CellConversion, NumbersLoseSeparatorsTextIsTrimmed) {
    EXPECT_EQ(convertCell("       3,906.25"), "3906.25");
    EXPECT_EQ(convertCell("1,234,567"), "1234567");
    EXPECT_EQ(convertCell("12.5"), "12.50");
    EXPECT_EQ(convertCell("N/A"), "N/A");
    EXPECT_EQ(convertCell("  Size(MB) "), "Size(MB)");
    EXPECT_EQ(convertCell(" 25%"), "25%");
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
