#include "fsview/scan_work_queue.h"

ScanWorkQueue::ScanWorkQueue(int workers)
    : m_stacks(std::size_t(workers)), m_holding(std::size_t(workers), false) {}

void ScanWorkQueue::push(int worker, std::vector<ScanDirectoryPtr>& dirs) {
    std::unique_lock lock(m_mutex);
    std::deque<ScanDirectoryPtr>& stack = m_stacks[std::size_t(worker)];
    for (ScanDirectoryPtr& dir : dirs)
        stack.push_back(std::move(dir));
    const bool someoneWaits = m_idle > 0;
    lock.unlock();
    dirs.clear();
    if (someoneWaits)
        m_work.notify_all();
}

ScanDirectoryPtr ScanWorkQueue::pop(int worker) {
    std::unique_lock lock(m_mutex);
    if (m_holding[std::size_t(worker)]) {
        m_holding[std::size_t(worker)] = false;
        --m_busy;
    }
    for (;;) {
        if (m_stopped || m_completed)
            return nullptr;
        if (ScanDirectoryPtr dir = take(worker)) {
            m_holding[std::size_t(worker)] = true;
            ++m_busy;
            return dir;
        }
        if (m_busy == 0) {
            // Nothing queued and nobody reading who could find more.
            m_completed = true;
            m_work.notify_all();
            m_end.notify_all();
            return nullptr;
        }
        ++m_idle;
        m_work.wait(lock);
        --m_idle;
    }
}

ScanDirectoryPtr ScanWorkQueue::take(int worker) {
    std::deque<ScanDirectoryPtr>& own = m_stacks[std::size_t(worker)];
    if (!own.empty()) {
        ScanDirectoryPtr dir = std::move(own.back());
        own.pop_back();
        return dir;
    }
    const std::size_t count = m_stacks.size();
    for (std::size_t i = 1; i < count; ++i) {
        std::deque<ScanDirectoryPtr>& other = m_stacks[(std::size_t(worker) + i) % count];
        if (!other.empty()) {
            ScanDirectoryPtr dir = std::move(other.front());
            other.pop_front();
            return dir;
        }
    }
    return nullptr;
}

void ScanWorkQueue::stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_work.notify_all();
    m_end.notify_all();
}

bool ScanWorkQueue::waitEnd(std::chrono::milliseconds timeout) {
    std::unique_lock lock(m_mutex);
    return m_end.wait_for(lock, timeout, [this] { return m_completed || m_stopped; });
}

bool ScanWorkQueue::completed() const {
    std::lock_guard lock(m_mutex);
    return m_completed;
}
