#include "reports/grid_layouts.h"
#include "reports/popup_entries.h"

#include <gtest/gtest.h>

namespace {

ResultGrid listing(const QString& layout, int rows) {
    ResultGrid grid;
    subInitializeGrid(grid, layout);
    for (int i = 0; i < rows; ++i)
        grid.addRow();
    return grid;
}

} // namespace

TEST(PopupEntries, OneFileRowOffersEverythingSeveralOnlyMoveAndDelete) {
    ResultGrid grid = listing("File", 3);
    grid.Row = grid.RowSel = 2;
    PopupEntries one = PopupEntries::of(grid);
    EXPECT_TRUE(one.userInformation && one.move && one.explore && one.deleteFiles && one.properties);
    EXPECT_EQ(one.deleteCaption, "Delete selected File");
    EXPECT_EQ(one.moveCaption, "Move File");
    EXPECT_EQ(one.fileCol, grid.fcnFindColumn("File"));
    EXPECT_EQ(one.directoryCol, grid.fcnFindColumn("Directory"));
    grid.RowSel = 3;
    PopupEntries several = PopupEntries::of(grid);
    EXPECT_FALSE(several.userInformation || several.explore || several.properties);
    EXPECT_TRUE(several.move && several.deleteFiles);
    EXPECT_EQ(several.deleteCaption, "Delete selected Files");
    EXPECT_EQ(several.moveCaption, "Move Files");
}

TEST(PopupEntries, OwnerRowsOfferTheFullNameAndDirectoriesNoDelete) {
    ResultGrid owners = listing("Owner", 1);
    owners.Row = owners.RowSel = 1;
    const PopupEntries owner = PopupEntries::of(owners);
    EXPECT_TRUE(owner.userInformation);
    EXPECT_FALSE(owner.deleteFiles || owner.move || owner.explore);
    ResultGrid dirs = listing("Directory", 1);
    dirs.Row = dirs.RowSel = 1;
    const PopupEntries dir = PopupEntries::of(dirs);
    EXPECT_TRUE(dir.explore && dir.properties);
    EXPECT_FALSE(dir.deleteFiles || dir.userInformation);
    EXPECT_EQ(fcnFullNameCaption(""), "Fullname: (Unavailable)");
    EXPECT_EQ(fcnFullNameCaption("John Smith"), "Fullname: John Smith");
}
