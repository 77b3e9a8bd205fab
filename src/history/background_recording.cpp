#include "history/background_recording.h"

#include "history/history_store.h"
#include "history/run_recording.h"

#include <utility>

namespace {

// The store's connection is made, used and closed on the recording's own
// thread, as Qt SQL requires.
QString recordWhenTold(const QString& location, const StoredRun& run, const ResultGrid& found, int keepDays,
                       std::future<bool> verdict) {
    HistoryStore store(location);
    QString error;
    store.record(run, RunRecording::rowsOf(found), keepDays, error, [&verdict] { return verdict.get(); });
    return error;
}

} // namespace

BackgroundRecording::BackgroundRecording(const QString& location, const StoredRun& run, const ResultGrid& found,
                                         int keepDays) {
    // Every capture a copy: Qt's implicitly shared data may be read on
    // another thread while this one changes its own copy.
    std::packaged_task<QString()> task(
        [location, run, found = found.snapshot(), keepDays, verdict = m_verdict.get_future()]() mutable {
            return recordWhenTold(location, run, found, keepDays, std::move(verdict));
        });
    m_outcome = task.get_future();
    m_thread = std::thread(std::move(task));
}

BackgroundRecording::~BackgroundRecording() {
    decide(false);
}

void BackgroundRecording::decide(bool keep) {
    if (!m_decided)
        m_verdict.set_value(keep);
    m_decided = true;
    if (m_thread.joinable())
        m_thread.join();
}

QString BackgroundRecording::keep() {
    decide(true);
    return m_outcome.get();
}
