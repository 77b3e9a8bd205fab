#include "history/row_trend.h"

#include "reports/results_file.h"

#include <utility>

double TrendFigure::shown(std::int64_t value) const {
    return megabytes ? double(value) / (1024.0 * 1024.0) : double(value);
}

QList<TrendFigure> trendFiguresOf(const RowFigures& sample) {
    // A volume's used space is its bytes; its other figures only it has.
    const bool volume = sample.total != RowFigures::kNone;
    const QList<TrendFigure> all = {
        {volume ? QStringLiteral("Used Space(MB)") : QStringLiteral("Size(MB)"), &RowFigures::bytes, true},
        {QStringLiteral("Allocated(MB)"), &RowFigures::allocated, true},
        {QStringLiteral("Files"), &RowFigures::files, false},
        {QStringLiteral("Size(MB)"), &RowFigures::total, true},
        {QStringLiteral("Purgeable(MB)"), &RowFigures::purgeable, true},
        {QStringLiteral("Not Yet Purgeable(MB)"), &RowFigures::pending, true},
        {QStringLiteral("Free Space(MB)"), &RowFigures::free, true}};
    QList<TrendFigure> offered;
    for (const TrendFigure& figure : all) {
        if (sample.*figure.field != RowFigures::kNone)
            offered.append(figure);
    }
    return offered;
}

RowTrend::RowTrend(QList<StoredRun> runs, TrendFigure figure) : m_runs(std::move(runs)), m_figure(std::move(figure)) {}

void RowTrend::addLine(const QString& key, const QList<std::optional<RowFigures>>& figures) {
    Line line{key, {}};
    for (const std::optional<RowFigures>& f : figures) {
        const bool has = f && (*f).*m_figure.field != RowFigures::kNone;
        line.values.append(has ? std::optional<std::int64_t>((*f).*m_figure.field) : std::nullopt);
    }
    m_lines.append(line);
}

QByteArray RowTrend::csv() const {
    // The caption's unit is MB; the file's figures are exact.
    QString unit = m_figure.caption;
    unit.replace(QStringLiteral("(MB)"), QStringLiteral("(bytes)"));
    QStringList heading{QStringLiteral("Run"), QStringLiteral("Started")};
    for (const Line& line : m_lines)
        heading.append(line.key + QLatin1Char(' ') + unit);
    QString text = ResultsFile::joinFields(heading, QStringLiteral(",")) + QLatin1String("\r\n");
    for (qsizetype r = 0; r < m_runs.size(); ++r) {
        QStringList fields{QString::number(m_runs[r].id), m_runs[r].started.toUTC().toString(Qt::ISODate)};
        for (const Line& line : m_lines)
            fields.append(r < line.values.size() && line.values[r] ? QString::number(*line.values[r]) : QString());
        text += ResultsFile::joinFields(fields, QStringLiteral(",")) + QLatin1String("\r\n");
    }
    return text.toUtf8();
}
