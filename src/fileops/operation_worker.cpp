#include "fileops/operation_worker.h"

#include <chrono>
#include <thread>

namespace {

// Often enough for a press on Stop to be seen at once, rarely enough to cost nothing.
constexpr std::chrono::milliseconds kPollInterval{20};

} // namespace

void OperationWorker::post(std::function<void()> onCaller) {
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_posted.push_back(std::move(onCaller));
    }
    m_changed.notify_one();
}

void OperationWorker::postStatus(QString text) {
    post([this, text = std::move(text)] {
        m_host.setStatus(text);
        m_lastStatus = text;
        m_progressShown = false;
    });
}

void OperationWorker::work(qsizetype count, const std::function<void(qsizetype)>& act) {
    qsizetype ran = 0;
    for (; ran < count && !stopped(); ++ran)
        act(ran);
    {
        const std::lock_guard<std::mutex> lock(m_mutex);
        m_finished = true;
        m_ran = ran;
    }
    m_changed.notify_one();
}

void OperationWorker::runPosted() {
    for (;;) {
        std::function<void()> next;
        {
            const std::lock_guard<std::mutex> lock(m_mutex);
            if (m_posted.empty())
                return;
            next = std::move(m_posted.front());
            m_posted.pop_front();
        }
        next();
    }
}

qsizetype OperationWorker::run(qsizetype count, const std::function<void(qsizetype)>& act,
                               const std::function<void()>& progress) {
    m_finished = false;
    m_host.pollEvents(); // what the window shows, and a Stop pressed already, before the first file
    std::thread worker([&] { work(count, act); });
    for (;;) {
        bool finished = false;
        {
            std::unique_lock<std::mutex> lock(m_mutex);
            m_changed.wait_for(lock, kPollInterval, [this] { return m_finished || !m_posted.empty(); });
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
    return m_ran;
}
