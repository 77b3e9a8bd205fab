#include "ui/main/result_grid_model.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

void layOut(ResultGrid& grid) {
    grid.reset(3);
    grid.setColumn(0, QString(), 0, ResultGrid::Align::Left);
    grid.setColumn(1, QStringLiteral("Directory"), 3000, ResultGrid::Align::Left);
    grid.setColumn(2, QStringLiteral("Size(MB)"), 1500, ResultGrid::Align::Right);
}

} // namespace

TEST(ResultGridModel, RowsAddedBetweenTwoPassesArriveAsOneInsertion) {
    ResultGrid grid;
    ResultGridModel model(grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    layOut(grid);
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    for (int i = 0; i < 1000; ++i)
        grid.addRow({QString(), QStringLiteral("d%1").arg(i), QStringLiteral("1.00")});
    EXPECT_EQ(model.rowCount(), 0); // not before the event loop's next pass
    QCoreApplication::processEvents();
    ASSERT_EQ(inserted.count(), 1);
    EXPECT_EQ(inserted[0][1].toInt(), 0);
    EXPECT_EQ(inserted[0][2].toInt(), 999);
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_EQ(model.data(model.index(999, 1)).toString(), "d999");
}

TEST(ResultGridModel, HeadingsAlignmentChangesAndRemovalsFollowTheGrid) {
    ResultGrid grid;
    ResultGridModel model(grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    layOut(grid);
    for (int i = 0; i < 5; ++i)
        grid.addRow({QString(), QStringLiteral("d%1").arg(i), QStringLiteral("Calculating...")});
    model.flush();
    EXPECT_EQ(model.headerData(2, Qt::Horizontal).toString(), "Size(MB)");
    EXPECT_TRUE(model.data(model.index(0, 2), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignRight);
    EXPECT_TRUE(model.data(model.index(0, 1), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignLeft);
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    grid.setCell(3, 2, QStringLiteral("   2.00"));
    ASSERT_GE(changed.count(), 1); // then the bars, the largest having changed
    EXPECT_EQ(changed[0][0].toModelIndex().row(), 2);
    EXPECT_EQ(model.data(model.index(2, 2)).toString(), "   2.00");
    grid.removeRow(1);
    EXPECT_EQ(model.rowCount(), 4);
    EXPECT_EQ(model.data(model.index(0, 1)).toString(), "d1");
    // A row removed before the view was shown the rows added with it.
    grid.addRow({QString(), QStringLiteral("late"), QString()});
    grid.removeRow(grid.rows() - 1);
    model.flush();
    EXPECT_EQ(model.rowCount(), 4);
    layOut(grid);
    EXPECT_EQ(model.rowCount(), 0);
}

TEST(ResultGridModel, SizeCellsCarryTheirShareOfTheLargestButFileSizesDoNot) {
    ResultGrid grid;
    ResultGridModel model(grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    layOut(grid);
    grid.addRow({QString(), "a", "     1,000.00"});
    grid.addRow({QString(), "b", "        250.00"});
    grid.addRow({QString(), "c", "Calculating..."});
    model.flush();
    EXPECT_DOUBLE_EQ(model.data(model.index(0, 2), ResultGridModel::ShareRole).toDouble(), 1.0);
    EXPECT_DOUBLE_EQ(model.data(model.index(1, 2), ResultGridModel::ShareRole).toDouble(), 0.25);
    EXPECT_DOUBLE_EQ(model.data(model.index(2, 2), ResultGridModel::ShareRole).toDouble(), 0.0);
    EXPECT_FALSE(model.data(model.index(0, 1), ResultGridModel::ShareRole).isValid());
    // A larger row later makes every bar shorter.
    grid.setCell(3, 2, "     4,000.00");
    EXPECT_DOUBLE_EQ(model.data(model.index(0, 2), ResultGridModel::ShareRole).toDouble(), 0.25);
    // A file listing: sizes in bytes under "Size", no bars.
    grid.reset(3);
    grid.setColumn(1, "File", 2000, ResultGrid::Align::Left);
    grid.setColumn(2, "Size", 1500, ResultGrid::Align::Right);
    grid.addRow({QString(), "x.log", "  1,024"});
    model.flush();
    EXPECT_FALSE(model.data(model.index(0, 2), ResultGridModel::ShareRole).isValid());
}

TEST(ResultGridModel, RowsRemovedInOnePassLeaveTheViewInStep) {
    ResultGrid grid;
    ResultGridModel model(grid);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    layOut(grid);
    for (int i = 1; i <= 8; ++i)
        grid.addRow({QString(), QStringLiteral("d%1").arg(i), QStringLiteral("1.00")});
    model.flush();
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    grid.removeRows({2, 3, 7, 5, 3}); // grid rows: d2, d3, d5 and d7
    EXPECT_EQ(removed.count(), 3); // d7, d5, then d2 and d3 together
    ASSERT_EQ(model.rowCount(), 4);
    QStringList left;
    for (int row = 0; row < model.rowCount(); ++row)
        left.append(model.data(model.index(row, 1)).toString());
    EXPECT_EQ(left, (QStringList{"d1", "d4", "d6", "d8"}));
}
