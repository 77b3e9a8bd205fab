#pragma once

#include "history/row_trend.h"

class QChart;
class QChartView;

// Draws a RowTrend: one line per row, a point per run that has the row,
// runs along a time axis; hovering a point tells its row, run and figure.
class TrendChart {
public:
    explicit TrendChart(QChartView* view);

    void draw(const RowTrend& trend);
    void clear();

private:
    void addAxes(const RowTrend& trend, double low, double high);

    QChartView* m_view;
};
