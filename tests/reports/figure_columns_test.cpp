#include "reports/figure_columns.h"
#include "reports/grid_layouts.h"

#include <QSet>

#include <gtest/gtest.h>

TEST(FigureColumns, EveryLayoutsSizeMegabyteAndPercentColumnsAndNoOther) {
    const QList<std::pair<QString, DateOption>> layouts = {
        {"Owner", DateOption::None},     {"Directory", DateOption::None},
        {"File", DateOption::None},      {"OwnerFile", DateOption::None},
        {"Volumes", DateOption::None},   {"Date", DateOption::optAccessDate},
        {"Date", DateOption::optModifyDate}, {"Date", DateOption::optCreationDate}};
    QSet<QString> figures, others;
    for (const auto& [layout, dateOption] : layouts) {
        ResultGrid grid;
        subInitializeGrid(grid, layout, dateOption);
        for (const QString& heading : grid.row(0)) {
            if (!heading.isEmpty())
                (FigureColumns::isFigure(heading) ? figures : others).insert(heading);
        }
    }
    EXPECT_EQ(figures, (QSet<QString>{"Size", "Size(MB)", "Used Space(MB)", "Purgeable(MB)",
                                      "Not Yet Purgeable(MB)", "Free Space(MB)", "% Free"}));
    EXPECT_EQ(others, (QSet<QString>{"Owner", "Directory", "File", "Date", "Time", "Volume", "Access Date",
                                     "Modify Date", "Creation Date"}));
}

TEST(FigureColumns, AnEmptyHeadingIsNoFigure) {
    EXPECT_FALSE(FigureColumns::isFigure(""));
    EXPECT_FALSE(FigureColumns::isFigure("Sizes"));
}
