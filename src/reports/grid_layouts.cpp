#include "reports/grid_layouts.h"

#include <initializer_list>

namespace {

using Align = ResultGrid::Align;

struct ColumnSpec {
    int col;
    const char* heading;
    int width;
    Align align;
};

void applyLayout(ResultGrid& grid, int cols, std::initializer_list<ColumnSpec> columns) {
    grid.reset(cols);
    for (const ColumnSpec& c : columns)
        grid.setColumn(c.col, QString::fromLatin1(c.heading), c.width, c.align);
}

QString dateHeading(DateOption option) {
    switch (option) {
    case DateOption::optAccessDate: return QStringLiteral("Access Date");
    case DateOption::optModifyDate: return QStringLiteral("Modify Date");
    case DateOption::optCreationDate: return QStringLiteral("Creation Date");
    case DateOption::None: break;
    }
    return {};
}

} // namespace

void subInitializeGrid(ResultGrid& grid, const QString& layout, DateOption dateOption) {
    if (layout == QLatin1String("Owner")) {
        applyLayout(grid, 3, {{1, "Owner", 1995, Align::Left}, {2, "Used Space(MB)", 1350, Align::Right}});
    } else if (layout == QLatin1String("Directory")) {
        applyLayout(grid, 3, {{1, "Directory", 3500, Align::Left}, {2, "Size(MB)", 1020, Align::Right}});
    } else if (layout == QLatin1String("File")) {
        applyLayout(grid, 7, {{1, "Directory", 3500, Align::Left}, {2, "File", 1800, Align::Left},
                              {3, "Owner", 1800, Align::Right}, {4, "Size", 1020, Align::Right},
                              {5, "Date", 1020, Align::Right}, {6, "Time", 1020, Align::Right}});
    } else if (layout == QLatin1String("OwnerFile")) {
        applyLayout(grid, 6, {{1, "Directory", 3500, Align::Left}, {2, "File", 1800, Align::Left},
                              {3, "Size", 1020, Align::Right}, {4, "Date", 1020, Align::Right},
                              {5, "Time", 1020, Align::Right}});
    } else if (layout == QLatin1String("Volumes")) {
        applyLayout(grid, 10, {{3, "Volume", 2295, Align::Left}, {4, "Size(MB)", 945, Align::Right},
                               {5, "Used Space(MB)", 1350, Align::Right},
                               {6, "Purgeable(MB)", 1350, Align::Right},
                               {7, "Not Yet Purgeable(MB)", 1755, Align::Right},
                               {8, "Free Space(MB)", 1350, Align::Right},
                               {9, "% Free", 615, Align::Right}});
    } else if (layout == QLatin1String("Date")) {
        applyLayout(grid, 7, {{2, "Directory", 3500, Align::Left}, {3, "File", 1800, Align::Left},
                              {5, "Owner", 1800, Align::Right}, {6, "Size", 1020, Align::Right}});
        grid.setColumn(4, dateHeading(dateOption), 1100, Align::Right);
    } else {
        grid.reset(grid.cols());
    }
    grid.Col = 0;
}
