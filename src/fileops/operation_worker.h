#pragma once

#include "fileops/listed_file.h"
#include "settings/host.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <vector>

// Runs the acts of one delete or move on a thread of its own, one file after
// another, while the calling (window) thread keeps letting window events run
// (a press on Stop among them) and carries out, in order, what the acts hand
// back to it: statuses, messages, questions. Stop is seen between any two
// files; an act that takes long watches it too.
class OperationWorker {
public:
    OperationWorker(Host& host, const std::atomic<bool>* stop) : m_host(host), m_stop(stop) {}

    // Runs act on each file in turn off the calling thread, the status counting the
    // files and megabytes done ("<doing>: 3 of 10 files, 1.20 of 7.81 MB
    // done"), with the bytes of the file under way when given.
    void runFiles(std::vector<ListedFile>& files, const QString& doing, const std::function<void(ListedFile&)>& act,
                  const std::atomic<std::uint64_t>* underWay = nullptr);

    // From an act: runs later on the calling thread, in the order handed.
    void post(std::function<void()> onCaller);
    // From an act: an outcome for the status bar, shown again at the end
    // should progress have been shown after it. Of statuses handed one
    // after another, the calling thread shows the last it finds: it could
    // not show the others for longer than a blink.
    // The text is what and the path joined, which only a status shown needs.
    void postStatus(QString what, QString path = {});
    bool stopped() const { return m_stop && m_stop->load(); }

private:
    // Runs act(0) to act(count - 1) on the worker until stopped; progress()
    // runs on this thread between events while acts are still to come.
    void run(qsizetype count, const std::function<void(qsizetype)>& act, const std::function<void()>& progress);

    void work(qsizetype count, const std::function<void(qsizetype)>& act);
    void runPosted();
    void queuePendingStatus();
    void showStatus(const QString& text);

    Host& m_host;
    const std::atomic<bool>* m_stop;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<std::function<void()>> m_posted;
    QString m_pendingStatus; // handed after everything in m_posted, with the path:
    QString m_pendingPath;
    bool m_finished = false;
    QString m_lastStatus;         // on the calling thread only
    bool m_progressShown = false; // since the last status
};
