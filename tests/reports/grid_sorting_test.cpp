#include "reports/grid_layouts.h"
#include "reports/grid_sorting.h"

#include <gtest/gtest.h>

namespace {

// A File listing: hidden day key, directory, file, owner, size, date, time.
ResultGrid fileRows() {
    ResultGrid grid;
    subInitializeGrid(grid, QStringLiteral("File"));
    grid.addRow({"12000", "\\\\FS1\\VOL1", "b.txt", "JSMITH", "          1,024", "11/8/2022", "09:00 AM"});
    grid.addRow({"9000", "\\\\FS1\\VOL1", "a.txt", "JSMITH", "      2,000,000", "8/23/2014", "11:30 PM"});
    grid.addRow({"12001", "\\\\FS1\\VOL1", "C.txt", "BJONES", "             12", "11/9/2022", "01:15 PM"});
    return grid;
}

QStringList column(const ResultGrid& grid, int col) {
    QStringList cells;
    for (qsizetype row = 1; row < grid.rows(); ++row)
        cells.append(grid.cell(row, col));
    return cells;
}

} // namespace

TEST(HeaderSort, SizeTwiceSortsDescendingThenAscending) {
    ResultGrid grid = fileRows();
    ResultsView view;
    view.btnShowFilesEnabled = true;
    const int size = grid.fcnFindColumn("Size");
    EXPECT_TRUE(grdDirSizes_DblClick(grid, view, size));
    EXPECT_EQ(column(grid, 2), (QStringList{"a.txt", "b.txt", "C.txt"}));
    EXPECT_FALSE(view.btnShowFilesEnabled);
    EXPECT_EQ(grid.Col, size);
    EXPECT_FALSE(grdDirSizes_DblClick(grid, view, size));
    EXPECT_EQ(column(grid, 2), (QStringList{"C.txt", "b.txt", "a.txt"}));
}

TEST(HeaderSort, DatesSortByTheirHiddenKeyAndTimesAsText) {
    ResultGrid grid = fileRows();
    ResultsView view;
    // Descending by the day key; as text "8/23/2014" would come first.
    grdDirSizes_DblClick(grid, view, grid.fcnFindColumn("Date"));
    EXPECT_EQ(column(grid, 0), (QStringList{"12001", "12000", "9000"}));
    grdDirSizes_DblClick(grid, view, grid.fcnFindColumn("Time")); // ascending, as text
    EXPECT_EQ(column(grid, grid.fcnFindColumn("Time")), (QStringList{"01:15 PM", "09:00 AM", "11:30 PM"}));
    // Names as case-sensitive text: capitals first.
    grdDirSizes_DblClick(grid, view, 2); // descending again
    EXPECT_EQ(column(grid, 2), (QStringList{"b.txt", "a.txt", "C.txt"}));
}
