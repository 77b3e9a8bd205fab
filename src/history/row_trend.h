#pragma once

#include "history/stored_run.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// A figure a row can be followed by across runs.
struct TrendFigure {
    QString caption;                   // as the chart's axis says it: "Size(MB)", "Files"
    std::int64_t RowFigures::*field = nullptr;
    bool megabytes = true;             // drawn in MB; else a count
    // The figure in the chart's units.
    double shown(std::int64_t value) const;
};

// The figures a run's rows have (a sample row's), in the order offered.
QList<TrendFigure> trendFiguresOf(const RowFigures& sample);

// One figure of chosen rows across runs, oldest run first: what the history
// window draws and what it saves as CSV. A run without the row has no value.
class RowTrend {
public:
    struct Line {
        QString key;
        QList<std::optional<std::int64_t>> values; // exact, one per run
    };

    RowTrend(QList<StoredRun> runs, TrendFigure figure);

    // The row's figures in each run, in the runs' order.
    void addLine(const QString& key, const QList<std::optional<RowFigures>>& figures);

    const QList<StoredRun>& runs() const { return m_runs; }
    const QList<Line>& lines() const { return m_lines; }
    const TrendFigure& figure() const { return m_figure; }

    // "Run","Started" (UTC, ISO 8601) and a column per line, figures exact
    // (bytes or a count) so any locale's reader gets them back unrounded.
    QByteArray csv() const;

private:
    QList<StoredRun> m_runs;
    TrendFigure m_figure;
    QList<Line> m_lines;
};
