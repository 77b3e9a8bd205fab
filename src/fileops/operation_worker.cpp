#include "fileops/operation_worker.h"

#include "fileops/row_selection.h"

#include <chrono>
#include <thread>

namespace {

// Often enough for a press on Stop to be seen at once, rarely enough to cost nothing.
constexpr std::chrono::milliseconds kPollInterval{20};

} // namespace

// The calling thread takes what was handed at its next pass: waking it for
// every file would cost more than the file.
void OperationWorker::post(std::function<void()> onCaller) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    queuePendingStatus();
    m_posted.push_back(std::move(onCaller));
}

void OperationWorker::postStatus(QString what, QString path) {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_pendingStatus = std::move(what);
    m_pendingPath = std::move(path);
}

// A status handed before something else is shown before it. Under the lock.
void OperationWorker::queuePendingStatus() {
    if (m_pendingStatus.isNull())
        return;
    m_posted.push_back([this, text = m_pendingStatus + m_pendingPath] { showStatus(text); });
    m_pendingStatus = QString();
    m_pendingPath = QString();
}

void OperationWorker::showStatus(const QString& text) {
    m_host.setStatus(text);
    m_lastStatus = text;
    m_progressShown = false;
}

void OperationWorker::work(qsizetype count, const std::function<void(qsizetype)>& act) {
    for (qsizetype index = 0; index < count && !stopped(); ++index)
        act(index);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
    }
    m_changed.notify_one();
}

void OperationWorker::runPosted() {
    std::deque<std::function<void()>> taken;
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        queuePendingStatus();
        taken.swap(m_posted);
    }
    for (const std::function<void()>& next : taken)
        next();
}

void OperationWorker::run(qsizetype count, const std::function<void(qsizetype)>& act,
                               const std::function<void()>& progress) {
    m_finished = false;
    m_host.pollEvents(); // what the window shows, and a Stop pressed already, before the first file
    std::thread worker([&] { work(count, act); });
    for (;;) {
        bool finished = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait_for(lock, kPollInterval, [this] { return m_finished; });
            finished = m_finished;
        }
        runPosted();
        if (finished)
            break;
        m_host.pollEvents();
        if (progress) {
            progress();
            m_progressShown = true;
        }
    }
    worker.join();
    runPosted();
    if (m_progressShown && !m_lastStatus.isEmpty())
        m_host.setStatus(m_lastStatus);
}

void OperationWorker::runFiles(std::vector<ListedFile>& files, const QString& doing,
                               const std::function<void(ListedFile&)>& act,
                               const std::atomic<std::uint64_t>* underWay) {
    const std::uint64_t bytes = RowSelection::bytesOf(files);
    std::atomic<qint64> done{0};
    std::atomic<std::uint64_t> bytesDone{0};
    run(
        qsizetype(files.size()),
        [&](qsizetype index) {
            ListedFile& file = files[std::size_t(index)];
            act(file);
            bytesDone += file.listedSize();
            ++done;
        },
        [&] {
            const std::uint64_t more = underWay ? underWay->load() : 0;
            m_host.setStatus(
                RowSelection::progressText(doing, done, qint64(files.size()), bytesDone + more, bytes));
        });
}
