#pragma once

#include "history/background_recording.h"
#include "history/history_store.h"
#include "reports/report_env.h"

#include <memory>

// A command-line run's part in the history: the earlier run it compares
// with (/COMPARE=), found before the walk so a mistyped one fails at once,
// and the run recorded once its file is written (unless /NOHISTORY). A store
// that cannot be read or written never costs the report: the file is
// written, the message names the store and why, and the exit status is 4.
class RunHistory {
public:
    static constexpr int kNotRecorded = 4;

    explicit RunHistory(ReportEnv& env);
    ~RunHistory();

    // Before the run: empty, or why /COMPARE= names no run (exit 1). A
    // store that cannot be read is no such error: see storeFailure().
    QString findComparison();
    // After a complete run, before its file is written and before compare():
    // the run and its rows as found go into the store while the file is
    // written (not with /NOHISTORY, nor where no store is named, as in a
    // run made inside another program).
    void startRecording(const QString& outcome);
    // Then: adds the change columns.
    void compare();
    // After the file is written: keeps the run startRecording() began; empty,
    // or why not. A run whose file was not written is never kept.
    QString record();
    // Why the store failed earlier in this run (the comparison's read), if it did.
    const QString& storeFailure() const { return m_storeFailure; }

private:
    HistoryStore& store();
    // The run of that number, or the newest comparable one (begun on or
    // before day): empty, or why none can be compared with.
    QString findRun(const QString& asked);
    QString findLatest(const QString& asked, const std::optional<QDateTime>& day);

    ReportEnv& m_env;
    std::unique_ptr<HistoryStore> m_store;
    std::optional<qint64> m_earlier; // the run compared with; none with LAST when there is none
    bool m_comparing = false;
    QString m_storeFailure;
    std::unique_ptr<BackgroundRecording> m_recording;
};
