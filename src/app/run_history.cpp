#include "app/run_history.h"

#include "history/grid_comparison.h"
#include "history/run_recording.h"
#include "reports/cell_format.h"

#include <algorithm>

namespace {

// The end of the day a /COMPARE= date names: runs begun before it count.
std::optional<QDateTime> endOfDay(const QString& text) {
    QDate date = QDate::fromString(text, Qt::ISODate);
    if (!date.isValid())
        date = CellFormat::parseShortDate(text);
    if (!date.isValid())
        return std::nullopt;
    return QDateTime(date.addDays(1), QTime(0, 0));
}

QString describe(const QString& kind, const QString& place, const QString& options) {
    return QStringLiteral("a %1 report of %2 (%3)")
        .arg(kind, place, options.isEmpty() ? QStringLiteral("no options") : options);
}

} // namespace

RunHistory::RunHistory(ReportEnv& env) : m_env(env) {}

RunHistory::~RunHistory() = default;

HistoryStore& RunHistory::store() {
    if (!m_store)
        m_store = std::make_unique<HistoryStore>(m_env.app.historyLocation);
    return *m_store;
}

QString RunHistory::findComparison() {
    const QString asked = m_env.app.compareWith.trimmed();
    if (asked.isEmpty())
        return {};
    if (m_env.app.historyLocation.isEmpty())
        return QStringLiteral("/COMPARE= needs the history of runs, and this run keeps none.");
    m_comparing = true;
    const bool byId = std::all_of(asked.begin(), asked.end(), [](QChar c) { return c.isDigit(); });
    const std::optional<QDateTime> day = endOfDay(asked);
    if (!byId && !day && asked.toUpper() != QLatin1String("LAST"))
        return QStringLiteral("/COMPARE= takes LAST, a date such as %1 or 2026-12-01, or a run's number "
                              "(quarvo --history lists them), not \"%2\".")
            .arg(CellFormat::shortDate(QDate(2003, 9, 29)), asked);
    // A store that cannot be read is no refusal: it is storeFailure().
    return byId ? findRun(asked) : findLatest(asked, day);
}

QString RunHistory::findRun(const QString& asked) {
    const RunFilter same = RunRecording::comparableRuns(m_env);
    const std::optional<StoredRun> run = store().run(asked.toLongLong(), m_storeFailure);
    if (!run)
        return {};
    if (run->id == 0)
        return QStringLiteral("/COMPARE=%1: the history %2 holds no run %1.").arg(asked, store().name());
    if (run->kind != same.kind || run->place != same.place || run->options != same.options)
        return QStringLiteral("/COMPARE=%1: run %1 is %2, not %3.")
            .arg(asked, describe(run->kind, run->place, run->options), describe(same.kind, same.place, same.options));
    m_earlier = run->id;
    return {};
}

QString RunHistory::findLatest(const QString& asked, const std::optional<QDateTime>& day) {
    RunFilter filter = RunRecording::comparableRuns(m_env);
    filter.limit = 1;
    if (day)
        filter.startedBefore = day->toUTC();
    const std::optional<QList<StoredRun>> runs = store().runs(filter, m_storeFailure);
    if (!runs)
        return {};
    if (!runs->isEmpty())
        m_earlier = runs->first().id;
    else if (day)
        return QStringLiteral("/COMPARE=%1: the history %2 holds no such report begun on or before that day.")
            .arg(asked, store().name());
    return {};
}

void RunHistory::compare() {
    if (!m_comparing)
        return;
    if (!m_earlier) {
        // The first run of its kind (LAST with none before it), or a store
        // that could not be read: the columns are there, empty or all new.
        if (m_storeFailure.isEmpty())
            GridComparison::compare(m_env.grid, {});
        else
            GridComparison::addEmptyColumns(m_env.grid);
        return;
    }
    QString error;
    const std::optional<QList<StoredRow>> earlier = store().rows(*m_earlier, error);
    if (!earlier) {
        m_storeFailure = error;
        GridComparison::addEmptyColumns(m_env.grid);
        return;
    }
    GridComparison::compare(m_env.grid, *earlier);
}

void RunHistory::startRecording(const QString& outcome) {
    if (m_env.app.keepHistory && !m_env.app.historyLocation.isEmpty())
        m_recording = std::make_unique<BackgroundRecording>(
            m_env.app.historyLocation, RunRecording::runOf(m_env, outcome), m_env.grid, m_env.app.historyKeepDays);
}

QString RunHistory::record() {
    const QString error = m_recording ? m_recording->keep() : QString();
    // The first failure is the one to tell.
    return m_storeFailure.isEmpty() ? error : m_storeFailure;
}
