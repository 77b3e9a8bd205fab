#include "fsview/ordered_walk.h"

#include "fsview/directory_fd_cache.h"
#include "fsview/ordered_walk_lister.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr std::chrono::milliseconds pollInterval(20);

unsigned char folded(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// A directory of the walk, from when its parent's listing finds it until the
// reader has taken it.
struct WalkNode {
    enum class State { Waiting, Listing, Listed };

    ScanDirectoryPtr dir;
    // Its index among its parent's sorted subdirectories, and so on up to the
    // root: pre-order is the lexicographic order of these. Dropped once taken
    // by a worker.
    std::vector<std::uint32_t> key;
    WalkedDirectory result; // relativePath from the start, the rest once listed
    std::vector<std::shared_ptr<WalkNode>> children; // in name order, once listed
    State state = State::Waiting;
};
using WalkNodePtr = std::shared_ptr<WalkNode>;

// Heap order: the earliest in pre-order on top.
bool laterInPreOrder(const WalkNodePtr& a, const WalkNodePtr& b) {
    return a->key > b->key;
}

} // namespace

bool lessByNameCaseless(const QByteArray& a, const QByteArray& b) {
    const auto* p = reinterpret_cast<const unsigned char*>(a.constData());
    const auto* q = reinterpret_cast<const unsigned char*>(b.constData());
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        const unsigned char x = folded(p[i]);
        const unsigned char y = folded(q[i]);
        if (x != y)
            return x < y;
    }
    if (a.size() != b.size())
        return a.size() < b.size();
    // Equal but for case: the raw bytes decide, so the order is total.
    return std::memcmp(p, q, std::size_t(common)) < 0;
}

// Workers take the waiting directory earliest in pre-order, as long as fewer
// than lookahead are listed (or being listed) and not yet taken by the
// reader; the one the reader waits for is always taken, so a look-ahead full
// of later directories cannot hold it up.
class OrderedWalk::Impl {
public:
    Impl(QByteArray root, Options options);
    ~Impl();

    std::optional<WalkedDirectory> next(const std::atomic<bool>& cancel,
                                        const std::function<void()>& poll);
    std::uint64_t skipped() const { return m_skipped.load(); }

private:
    void work(dev_t rootDevice, std::size_t cachedFds);
    bool workReady() const;
    bool workDone() const;
    bool readerToWake() const;
    WalkNodePtr takeWork();
    void finish(WalkNode& node, std::vector<ScanDirectoryPtr>& subdirs);
    void stop();

    Options m_options;
    std::size_t m_lookahead;
    // Waking the other side for every directory would cost more than
    // listing it: the reader waits for a few listings in a row, and workers
    // held back by the look-ahead wait until a part of it is free again.
    std::size_t m_batch;
    std::size_t m_lowWater;
    int m_rootFd = -1;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_skipped{0};

    std::mutex m_mutex;
    std::condition_variable m_workCv;  // workers wait for work or room
    std::condition_variable m_readyCv; // the reader waits for a listing
    std::vector<WalkNodePtr> m_waiting; // a heap, earliest in pre-order on top
    const WalkNode* m_needed = nullptr; // what the reader waits for, not yet taken
    const WalkNode* m_awaited = nullptr; // what the reader waits for, in any state
    std::size_t m_ahead = 0;            // listed or being listed, not yet handed out
    std::size_t m_ready = 0;            // listed, not yet handed out
    int m_listing = 0;

    // The reader's own: what it hands out next is on top.
    std::vector<WalkNodePtr> m_stack;
    bool m_ended = false;
    std::chrono::steady_clock::time_point m_lastPoll;

    std::vector<std::thread> m_threads;
};

OrderedWalk::Impl::Impl(QByteArray root, Options options)
    : m_options(std::move(options)), m_lookahead(std::max<std::size_t>(1, m_options.lookahead)),
      m_batch(std::clamp<std::size_t>(m_lookahead / 4, 1, 16)),
      m_lowWater(m_lookahead - std::max<std::size_t>(1, m_lookahead / 4)),
      m_lastPoll(std::chrono::steady_clock::now()) {
    const int threads = DirectoryFdCache::workerCount(m_options.threads);
    auto rootNode = std::make_shared<WalkNode>();
    m_stack.push_back(rootNode);
    // The root alone may be reached through a symbolic link.
    m_rootFd = ::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    struct stat st {};
    if (m_rootFd < 0 || ::fstat(m_rootFd, &st) != 0) {
        ++m_skipped;
        rootNode->result.readable = false;
        rootNode->state = WalkNode::State::Listed;
        m_ahead = 1;
        m_ready = 1;
        return;
    }
    rootNode->dir = std::make_shared<const ScanDirectory>(ScanDirectory{nullptr, {}, st.st_dev, st.st_ino});
    m_waiting.push_back(rootNode);
    const std::size_t cachedFds = DirectoryFdCache::capacityPerWorker(threads);
    for (int i = 0; i < threads; ++i)
        m_threads.emplace_back(&Impl::work, this, st.st_dev, cachedFds);
}

OrderedWalk::Impl::~Impl() {
    stop();
    for (std::thread& thread : m_threads)
        thread.join();
    if (m_rootFd >= 0)
        ::close(m_rootFd);
}

void OrderedWalk::Impl::stop() {
    {
        const std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_workCv.notify_all();
    m_ended = true;
}

bool OrderedWalk::Impl::workReady() const {
    return !m_waiting.empty() && (m_ahead < m_lookahead || m_waiting.front().get() == m_needed);
}

// Nothing waits and nothing being listed can add more.
bool OrderedWalk::Impl::workDone() const {
    return m_waiting.empty() && m_listing == 0;
}

// The reader's directory is listed and enough after it, or nothing more
// comes soon.
bool OrderedWalk::Impl::readerToWake() const {
    return m_awaited && m_awaited->state == WalkNode::State::Listed
        && (m_ready >= m_batch || m_listing == 0 || m_ahead >= m_lookahead);
}

WalkNodePtr OrderedWalk::Impl::takeWork() {
    std::pop_heap(m_waiting.begin(), m_waiting.end(), laterInPreOrder);
    WalkNodePtr node = std::move(m_waiting.back());
    m_waiting.pop_back();
    if (node.get() == m_needed)
        m_needed = nullptr;
    node->state = WalkNode::State::Listing;
    ++m_ahead;
    ++m_listing;
    return node;
}

void OrderedWalk::Impl::work(dev_t rootDevice, std::size_t cachedFds) {
    OrderedWalkLister lister(m_rootFd, rootDevice, cachedFds, m_options, m_stop, m_skipped);
    std::vector<ScanDirectoryPtr> subdirs;
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_workCv.wait(lock, [this] { return m_stop || workReady() || workDone(); });
        if (m_stop || !workReady())
            break;
        const WalkNodePtr node = takeWork();
        lock.unlock();
        // Only this worker touches the node until it is listed.
        const bool listed = lister.list(node->dir, node->result, subdirs);
        if (listed)
            finish(*node, subdirs);
        lock.lock();
        if (!listed)
            break;
        for (WalkNodePtr& child : node->children) {
            m_waiting.push_back(child);
            std::push_heap(m_waiting.begin(), m_waiting.end(), laterInPreOrder);
        }
        node->state = WalkNode::State::Listed;
        --m_listing;
        ++m_ready;
        if (readerToWake())
            m_readyCv.notify_one();
        if (!node->children.empty() || workDone())
            m_workCv.notify_all();
    }
    // Whoever sees the end first wakes the others to see it too.
    m_workCv.notify_all();
}

// Makes the nodes of node's subdirectories, outside the lock.
void OrderedWalk::Impl::finish(WalkNode& node, std::vector<ScanDirectoryPtr>& subdirs) {
    const QByteArray& path = node.result.relativePath;
    node.children.reserve(subdirs.size());
    for (std::size_t i = 0; i < subdirs.size(); ++i) {
        auto child = std::make_shared<WalkNode>();
        child->dir = std::move(subdirs[i]);
        child->key.reserve(node.key.size() + 1);
        child->key = node.key;
        child->key.push_back(std::uint32_t(i));
        const QByteArray& name = node.result.subdirectories[qsizetype(i)];
        child->result.relativePath = path.isEmpty() ? name : path + '/' + name;
        node.children.push_back(std::move(child));
    }
    subdirs.clear();
    node.key = {};
}

std::optional<WalkedDirectory> OrderedWalk::Impl::next(const std::atomic<bool>& cancel,
                                                       const std::function<void()>& poll) {
    if (m_ended)
        return std::nullopt;
    if (cancel.load()) {
        stop();
        return std::nullopt;
    }
    if (m_stack.empty()) {
        m_ended = true;
        return std::nullopt;
    }
    const WalkNodePtr node = m_stack.back();
    std::unique_lock lock(m_mutex);
    m_awaited = node.get();
    while (node->state != WalkNode::State::Listed) {
        if (node->state == WalkNode::State::Waiting && m_needed != node.get()) {
            m_needed = node.get();
            m_workCv.notify_all();
        }
        const auto pollAt = m_lastPoll + pollInterval;
        m_readyCv.wait_until(lock, pollAt);
        if (node->state == WalkNode::State::Listed)
            break;
        const auto now = std::chrono::steady_clock::now();
        const bool pollDue = now >= pollAt;
        if (!pollDue && !cancel.load())
            continue;
        lock.unlock();
        if (pollDue) {
            if (poll)
                poll();
            m_lastPoll = std::chrono::steady_clock::now();
        }
        if (cancel.load()) {
            stop();
            return std::nullopt;
        }
        lock.lock();
    }
    m_needed = nullptr;
    m_awaited = nullptr;
    --m_ready;
    const bool room = --m_ahead == m_lowWater;
    lock.unlock();
    if (room)
        m_workCv.notify_all();
    m_stack.pop_back();
    for (auto child = node->children.rbegin(); child != node->children.rend(); ++child)
        m_stack.push_back(std::move(*child));
    node->children.clear();
    return std::move(node->result);
}

OrderedWalk::OrderedWalk(QByteArray root, Options options)
    : m_impl(std::make_unique<Impl>(std::move(root), std::move(options))) {}

OrderedWalk::~OrderedWalk() = default;

std::optional<WalkedDirectory> OrderedWalk::next(const std::atomic<bool>& cancel,
                                                 const std::function<void()>& poll) {
    return m_impl->next(cancel, poll);
}

std::uint64_t OrderedWalk::skipped() const {
    return m_impl->skipped();
}
