#include "ui/history/trend_chart.h"

#include <QCursor>
#include <QDateTimeAxis>
#include <QLineSeries>
#include <QLocale>
#include <QToolTip>
#include <QValueAxis>
#include <QtCharts/QChart>
#include <QtCharts/QChartView>

#include <algorithm>

TrendChart::TrendChart(QChartView* view) : m_view(view) {
    m_view->setRenderHint(QPainter::Antialiasing);
    m_view->chart()->legend()->setAlignment(Qt::AlignBottom);
}

void TrendChart::clear() {
    QChart* chart = m_view->chart();
    chart->removeAllSeries();
    for (QAbstractAxis* axis : chart->axes())
        chart->removeAxis(axis);
}

void TrendChart::draw(const RowTrend& trend) {
    clear();
    QChart* chart = m_view->chart();
    const TrendFigure figure = trend.figure();
    double low = 0;
    double high = 0;
    for (const RowTrend::Line& line : trend.lines()) {
        auto* series = new QLineSeries(chart);
        series->setName(line.key);
        series->setPointsVisible(true);
        for (qsizetype r = 0; r < line.values.size() && r < trend.runs().size(); ++r) {
            if (!line.values[r])
                continue;
            const double y = figure.shown(*line.values[r]);
            low = std::min(low, y);
            high = std::max(high, y);
            series->append(double(trend.runs()[r].started.toMSecsSinceEpoch()), y);
        }
        const QString key = line.key;
        QObject::connect(series, &QLineSeries::hovered, m_view, [figure, key](const QPointF& at, bool entered) {
            if (!entered) {
                QToolTip::hideText();
                return;
            }
            const QLocale locale;
            const QString when =
                locale.toString(QDateTime::fromMSecsSinceEpoch(qint64(at.x())).toLocalTime(), QLocale::ShortFormat);
            QToolTip::showText(QCursor::pos(), QStringLiteral("%1\n%2\n%3: %4")
                                                   .arg(key, when, figure.caption,
                                                        locale.toString(at.y(), 'f', figure.megabytes ? 2 : 0)));
        });
        chart->addSeries(series);
    }
    addAxes(trend, low, high);
}

void TrendChart::addAxes(const RowTrend& trend, double low, double high) {
    QChart* chart = m_view->chart();
    auto* when = new QDateTimeAxis(chart);
    const QList<StoredRun>& runs = trend.runs();
    const bool oneDay = runs.isEmpty() || runs.first().started.daysTo(runs.last().started) < 2;
    when->setFormat(oneDay ? QStringLiteral("MM-dd hh:mm") : QStringLiteral("yyyy-MM-dd"));
    if (!runs.isEmpty()) {
        // A single run still gets an axis a little wider than its moment.
        when->setRange(runs.first().started.addSecs(-60).toLocalTime(), runs.last().started.addSecs(60).toLocalTime());
    }
    auto* figure = new QValueAxis(chart);
    figure->setTitleText(trend.figure().caption);
    figure->setLabelFormat(trend.figure().megabytes ? QStringLiteral("%.2f") : QStringLiteral("%.0f"));
    figure->setRange(low, high > low ? high * 1.05 : low + 1);
    figure->applyNiceNumbers();
    chart->addAxis(when, Qt::AlignBottom);
    chart->addAxis(figure, Qt::AlignLeft);
    for (QAbstractSeries* series : chart->series()) {
        series->attachAxis(when);
        series->attachAxis(figure);
    }
}
