#include "ui/main/result_grid_model.h"

#include "reports/cell_format.h"
#include "reports/grid_layouts.h"
#include "ui/main/grid_columns.h"
#include "ui/main/share_bar_delegate.h"

#include <QAbstractItemModelTester>
#include <QCoreApplication>
#include <QHeaderView>
#include <QHelpEvent>
#include <QSignalSpy>
#include <QTableView>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

#include <map>

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

namespace {

// The real delegate, noting for each cell painted the text the style draws:
// on one line, cut as the option says, within the cell's margins.
class ShownTexts : public ShareBarDelegate {
public:
    using ShareBarDelegate::ShareBarDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override {
        QStyleOptionViewItem o = option;
        initStyleOption(&o, index);
        const QStyle* style = o.widget->style();
        const int margin = style->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, o.widget) + 1;
        const QRect room = style->subElementRect(QStyle::SE_ItemViewItemText, &o, o.widget);
        const bool wrapped = o.features & QStyleOptionViewItem::WrapText;
        texts[{index.row(), index.column()}] =
            wrapped ? QStringLiteral("(wrapped)")
                    : QFontMetrics(o.font).elidedText(o.text, o.textElideMode, room.width() - 2 * margin);
        ShareBarDelegate::paint(painter, option, index);
    }
    mutable std::map<std::pair<int, int>, QString> texts;
};

QString deepPath() {
    QString path = QStringLiteral("\\\\FS1\\VOL1");
    for (int i = 1; i <= 30; ++i)
        path += QStringLiteral("\\folder%1").arg(i);
    return path + QStringLiteral("\\last folder name with blanks");
}

// grdDirSizes as the window sets it up, 1600 pixels wide.
class Grid : public ::testing::Test {
protected:
    Grid() {
        view.setModel(&model);
        view.setItemDelegate(delegate);
        new GridColumns(grid, view);
        view.resize(1600, 500);
        view.show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&view));
    }
    // Rows arrive as in a run, a batch per pass of the event loop.
    void run(const QString& layout, const QList<QStringList>& batches) {
        subInitializeGrid(grid, layout);
        for (const QStringList& row : batches) {
            grid.addRow(row);
            QCoreApplication::processEvents();
        }
    }
    int width(const QString& heading) const { return view.columnWidth(grid.fcnFindColumn(heading)); }
    QString shown(int row, const QString& heading) {
        delegate->texts.clear();
        view.grab();
        return delegate->texts[{row, grid.fcnFindColumn(heading)}];
    }

    ResultGrid grid;
    ResultGridModel model{grid};
    QTableView view;
    ShownTexts* delegate = new ShownTexts(&view);
};

QStringList fileRow(const QString& owner, const QString& size) {
    return {QString(), "\\\\FS1\\VOL1\\USERS", "report 2003.doc", owner, CellFormat::padLeft(size), "09/29/2003",
            "10:15 AM"};
}

} // namespace

TEST_F(Grid, DeepPathsAreCutInTheMiddleKeepingTheLastFolderWhole) {
    run("Directory", {{QString(), deepPath(), CellFormat::padLeft("8,345.12")}});
    const QString path = shown(0, "Directory");
    EXPECT_LT(path.size(), deepPath().size()); // it does not fit
    EXPECT_TRUE(path.startsWith("\\\\FS1\\VOL1\\folder1")) << path.toStdString();
    EXPECT_TRUE(path.endsWith("\\last folder name with blanks")) << path.toStdString();
    EXPECT_EQ(shown(0, "Size(MB)").toStdString(), "8,345.12");
}

TEST_F(Grid, ACutCellShowsItsWholeTextAsATooltip) {
    run("Directory", {{QString(), deepPath(), CellFormat::padLeft("8,345.12")}});
    EXPECT_EQ(model.data(model.index(0, 1), Qt::ToolTipRole).toString().toStdString(), deepPath().toStdString());
    // A figure the user has made too narrow for.
    view.horizontalHeader()->resizeSection(2, 25);
    const QPoint at = view.visualRect(model.index(0, 2)).center();
    QHelpEvent hover(QEvent::ToolTip, at, view.viewport()->mapToGlobal(at));
    QCoreApplication::sendEvent(view.viewport(), &hover);
    EXPECT_EQ(QToolTip::text().toStdString(), "8,345.12");
    QToolTip::hideText();
}

TEST_F(Grid, PathColumnsTakeTheRoomLeftAndFiguresAndOwnersShowWhole) {
    run("File", {fileRow("jsmith", "1,024"), fileRow("Administrators of the north wing", "123,456,789,012")});
    EXPECT_TRUE(view.isColumnHidden(0));
    EXPECT_EQ(shown(1, "Size").toStdString(), "123,456,789,012"); // grown while the rows arrived
    EXPECT_EQ(shown(1, "Owner").toStdString(), "Administrators of the north wing");
    int total = 0;
    for (int col = 1; col < grid.cols(); ++col)
        total += view.columnWidth(col);
    EXPECT_EQ(total, view.viewport()->width());
    for (const char* figure : {"Owner", "Size", "Date", "Time"})
        EXPECT_GT(width("Directory"), width(figure)) << figure;
    // Without a path column the names take the room, and the figures end at the right edge.
    run("Owner", {{QString(), "JSMITH.SALES.ACME", CellFormat::padLeft("12.50")}});
    total = 0;
    for (int col = 1; col < grid.cols(); ++col)
        total += view.isColumnHidden(col) ? 0 : view.columnWidth(col);
    EXPECT_EQ(total, view.viewport()->width());
    EXPECT_GT(width("Owner"), width("Used Space(MB)"));
}

TEST_F(Grid, WidthsTheUserSetLastUntilTheLayoutChanges) {
    const QStringList directory{QString(), deepPath(), CellFormat::padLeft("8,345.12")};
    run("Directory", {directory});
    view.horizontalHeader()->resizeSection(1, 300); // as a drag on the heading's edge does
    view.horizontalHeader()->resizeSection(2, 150);
    run("Directory", {directory});
    EXPECT_EQ(width("Directory"), 300);
    EXPECT_EQ(width("Size(MB)"), 150);
    run("File", {fileRow("jsmith", "1,024")});
    EXPECT_NE(width("Directory"), 300);
    run("Directory", {directory});
    EXPECT_NE(width("Directory"), 300);
    EXPECT_NE(width("Size(MB)"), 150);
}
