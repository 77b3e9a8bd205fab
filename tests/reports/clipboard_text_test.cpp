#include "reports/clipboard_text.h"
#include "reports/grid_layouts.h"

#include <gtest/gtest.h>

namespace {

ResultGrid fileRows() {
    ResultGrid grid;
    subInitializeGrid(grid, QStringLiteral("File"));
    grid.addRow({"12000", "\\\\FS1\\VOL1\\USERS", "report.doc", "JSMITH", "          1,234", "11/8/2022", "09:00 AM"});
    grid.addRow({"12001", "\\\\FS1\\VOL1\\USERS", "a,b.txt", "BJONES", "             12", "11/9/2022", "01:15 PM"});
    return grid;
}

} // namespace

// Every line ends in CR LF, and no empty line follows the last.
TEST(ClipboardText, OneSelectedFileRowGetsAHeadingLineAndPlainDigits) {
    EXPECT_EQ(fcnGridRowsText(fileRows(), 1, 1, ","),
              "Directory,File,Owner,Size,Date,Time\r\n"
              "\\\\FS1\\VOL1\\USERS,report.doc,JSMITH,1234,11/8/2022,09:00 AM\r\n");
}

TEST(ClipboardText, AllRowsTakeTheHeadingsAsRowZeroAndNamesWithTheDelimiterAreQuoted) {
    EXPECT_EQ(fcnGridRowsText(fileRows(), 0, 2, ","),
              "Directory,File,Owner,Size,Date,Time\r\n"
              "\\\\FS1\\VOL1\\USERS,report.doc,JSMITH,1234,11/8/2022,09:00 AM\r\n"
              "\\\\FS1\\VOL1\\USERS,\"a,b.txt\",BJONES,12,11/9/2022,01:15 PM\r\n");
}

TEST(ClipboardText, LongerDelimitersLeaveNoneAtTheLineEnds) {
    ResultGrid grid;
    subInitializeGrid(grid, QStringLiteral("Directory"));
    grid.addRow({QString(), "\\\\FS1\\VOL1\\USERS", "          12.5"});
    grid.addRow({QString(), "\\\\FS1\\VOL1\\DATA", "      1,024.00"});
    EXPECT_EQ(fcnGridRowsText(grid, 1, 2, ";"),
              "Directory;Size(MB)\r\n\\\\FS1\\VOL1\\USERS;12.50\r\n\\\\FS1\\VOL1\\DATA;1024.00\r\n");
    EXPECT_EQ(fcnGridRowsText(grid, 2, 2, "||"), "Directory||Size(MB)\r\n\\\\FS1\\VOL1\\DATA||1024.00\r\n");
}
