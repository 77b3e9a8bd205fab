#include "reports/grid_layouts.h"

#include <gtest/gtest.h>

namespace {

QStringList headings(const ResultGrid& grid) {
    return grid.row(0);
}

} // namespace

TEST(GridLayouts, EachLayoutHasItsColumns) {
    ResultGrid grid;
    subInitializeGrid(grid, "Owner");
    EXPECT_EQ(headings(grid), (QStringList{"", "Owner", "Used Space(MB)"}));
    EXPECT_EQ(grid.width(1), 1995);
    EXPECT_EQ(grid.alignment(2), ResultGrid::Align::Right);

    subInitializeGrid(grid, "Volumes");
    EXPECT_EQ(headings(grid), (QStringList{"", "", "", "Volume", "Size(MB)", "Used Space(MB)", "Purgeable(MB)",
                                           "Not Yet Purgeable(MB)", "Free Space(MB)", "% Free"}));
    EXPECT_EQ(grid.width(0) + grid.width(1) + grid.width(2), 0);
    EXPECT_EQ(grid.width(7), 1755);

    subInitializeGrid(grid, "OwnerFile");
    EXPECT_EQ(headings(grid), (QStringList{"", "Directory", "File", "Size", "Date", "Time"}));
}

TEST(GridLayouts, DateColumnIsHeadedAfterTheDateBasis) {
    ResultGrid grid;
    subInitializeGrid(grid, "Date", DateOption::optModifyDate);
    EXPECT_EQ(grid.cell(0, 4), "Modify Date");
    subInitializeGrid(grid, "Date", DateOption::optAccessDate);
    EXPECT_EQ(grid.cell(0, 4), "Access Date");
    subInitializeGrid(grid, "Date", DateOption::None);
    EXPECT_EQ(grid.cell(0, 4), "");
    EXPECT_EQ(grid.cell(0, 2), "Directory");
}

TEST(GridLayouts, InitializingLeavesOnlyTheHeadingRow) {
    ResultGrid grid;
    subInitializeGrid(grid, "File");
    grid.addRow({"", "\\\\FS1\\SYS", "a.txt"});
    grid.Col = 3;
    subInitializeGrid(grid, "Directory");
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.cols(), 3);
    EXPECT_EQ(grid.Col, 0);
    subInitializeGrid(grid, "Nonsense");
    EXPECT_EQ(grid.rows(), 1);
    EXPECT_EQ(grid.cell(0, 1), "");
}

TEST(FindColumn, FindsByExactHeadingOr999) {
    ResultGrid grid;
    subInitializeGrid(grid, "Directory");
    EXPECT_EQ(grid.fcnFindColumn("Owner"), 999);
    subInitializeGrid(grid, "File");
    EXPECT_EQ(grid.fcnFindColumn("Owner"), 3);
    EXPECT_EQ(grid.fcnFindColumn("owner"), 999);
    subInitializeGrid(grid, "Date", DateOption::optCreationDate);
    EXPECT_EQ(grid.fcnFindColumn("Owner"), 5);
}

TEST(GridTopRow, KeepsTheNewestRowsInViewOnlyWhenTheyOverflow) {
    // 10 rows of 240 twips fit in 2400: the position stays.
    EXPECT_EQ(fcnGridTopRow(2400, 240, 10, 0), 0);
    // 25 rows in 2400 twips: 25 - (10 - 2) = 17.
    EXPECT_EQ(fcnGridTopRow(2400, 240, 25, 0), 17);
    EXPECT_EQ(fcnGridTopRow(2500, 240, 25, 3), 17);
}

namespace {

struct CountingListener : GridListener {
    void gridReset() override { ++resets; }
    void rowsInserted(qsizetype first, qsizetype) override { inserted.append(first); }
    void rowsRemoved(qsizetype first, qsizetype) override { removed.append(first); }
    void rowsChanged(qsizetype first, qsizetype) override { changed.append(first); }
    int resets = 0;
    QList<qsizetype> inserted, removed, changed;
};

} // namespace

TEST(GridListenerNotifications, ReportsInsertedChangedAndRemovedRows) {
    ResultGrid grid;
    CountingListener listener;
    grid.setListener(&listener);
    subInitializeGrid(grid, "Directory");
    EXPECT_EQ(listener.resets, 1);
    grid.addRow();
    grid.setCell(1, 2, "Calculating..");
    grid.addRow({"", "\\\\FS1\\SYS\\B", "1.00"});
    grid.removeRow(1);
    grid.removeRow(0); // the heading row stays
    EXPECT_EQ(listener.inserted, (QList<qsizetype>{1, 2}));
    EXPECT_TRUE(listener.changed.contains(1));
    EXPECT_EQ(listener.removed, (QList<qsizetype>{1}));
    EXPECT_EQ(grid.rows(), 2);
    EXPECT_EQ(grid.cell(1, 1), "\\\\FS1\\SYS\\B");
}
