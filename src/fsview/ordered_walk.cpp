#include "fsview/ordered_walk.h"

#include "fsview/directory_fd_cache.h"
#include "fsview/ordered_walk_lister.h"

#include <QString>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <thread>
#include <list>
#include <vector>

namespace {

constexpr std::chrono::milliseconds pollInterval(20);

unsigned char folded(unsigned char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<unsigned char>(c + ('a' - 'A')) : c;
}

// Folded ASCII byte by byte, which is what case folding does to ASCII, as
// long as both names are ASCII; from the first byte that is not, both are
// compared as case-folded text. The ASCII bytes before it stand for the
// same characters either way, so they decide alike, and a name folds to
// at least one character per character, so a proper prefix comes first in
// both.
int compareFolded(const QByteArray& a, const QByteArray& b) {
    const auto* p = reinterpret_cast<const unsigned char*>(a.constData());
    const auto* q = reinterpret_cast<const unsigned char*>(b.constData());
    const qsizetype common = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < common; ++i) {
        if ((p[i] | q[i]) & 0x80)
            return QString::fromUtf8(a).toCaseFolded().compare(QString::fromUtf8(b).toCaseFolded());
        const unsigned char x = folded(p[i]);
        const unsigned char y = folded(q[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

// A directory of the walk, from when its parent's listing finds it until the
// reader has taken it.
struct WalkNode {
    enum class State { Waiting, Listing, Listed };

    ScanDirectoryPtr dir;
    WalkedDirectory result; // name and depth from the start, the rest once listed
    State state = State::Waiting;
    bool passed = false; // a search for waiting work has gone past it
    bool leftOut = false; // found to be a mount, or one above it, only when opened: never handed out
    std::list<std::shared_ptr<WalkNode>>::iterator place; // in the pre-order list
};
using WalkNodePtr = std::shared_ptr<WalkNode>;

OwnInode ownInodeOf(const struct stat& st) {
    return {std::uint64_t(st.st_size), std::uint64_t(st.st_blocks) * 512, st.st_uid, st.st_gid, st.st_mode,
            st.st_mtime};
}

} // namespace

void countLinkedOnce(WalkedDirectory& directory) {
    std::vector<LinkedFile>& linked = directory.linked;
    std::sort(linked.begin(), linked.end(), [](const LinkedFile& a, const LinkedFile& b) { return a.inode < b.inode; });
    linked.erase(std::unique(linked.begin(), linked.end(),
                             [](const LinkedFile& a, const LinkedFile& b) { return a.inode == b.inode; }),
                 linked.end());
    for (const LinkedFile& file : linked)
        directory.fileBytes += file.size;
}

void addOwnerBytes(std::vector<OwnerBytes>& owners, std::uint32_t uid, std::uint64_t bytes) {
    for (OwnerBytes& owner : owners) {
        if (owner.uid == uid) {
            owner.allocated += bytes;
            ++owner.files;
            return;
        }
    }
    owners.push_back({uid, bytes, 1});
}

bool lessByNameCaseless(const QByteArray& a, const QByteArray& b) {
    const int c = compareFolded(a, b);
    return c != 0 ? c < 0 : a < b;
}

// Every directory found and not yet handed out sits in one list in
// pre-order: a directory's subdirectories go right after it, ahead of all
// that came after it, so the list stays in pre-order however deep the tree
// is, and the reader hands out its front. Listers take the first waiting
// directory, as long as fewer than lookahead are listed (or being listed)
// and not yet taken by the reader; the front is always taken, so a
// look-ahead full of later directories cannot hold the reader up.
//
// The reader lists too: rather than sleep until its directory is listed, it
// takes the next waiting one itself. Waking a sleeping thread costs more
// than listing a small directory, and the reader's thread is one of the
// threads the walk was given, so the machine's cores are never outnumbered.
class OrderedWalk::Impl {
public:
    Impl(int startFd, Options options);
    ~Impl();

    std::optional<WalkedDirectory> next(const std::atomic<bool>& cancel,
                                        const std::function<void()>& poll);
    std::uint64_t skipped() const { return m_skipped.load(); }
    std::uint64_t loopsBack() const { return m_loopsBack.load(); }
    int failure() const { return m_failure.load(); }

private:
    using Lock = std::unique_lock<std::mutex>;

    void work();
    bool workReady() const;
    bool workDone() const;
    WalkNodePtr takeWork();
    bool listTaken(OrderedWalkLister& lister, const WalkNodePtr& node, Lock& lock,
                   std::vector<FoundSubdirectory>& subdirs, const std::function<bool()>& interrupted = {});
    std::vector<WalkNodePtr> children(const WalkNode& node, std::vector<FoundSubdirectory>& subdirs) const;
    void insertAfter(WalkNode& node, std::vector<WalkNodePtr>& children);
    bool helpOrWait(Lock& lock, const std::atomic<bool>& cancel, const std::function<void()>& poll);
    bool pollDue() const;
    void pollNow(const std::function<void()>& poll);
    void stop();

    Options m_options;
    std::size_t m_lookahead;
    // Workers held back by a full look-ahead wait until a part of it is free
    // again, not for every directory the reader takes.
    std::size_t m_lowWater;
    int m_rootFd = -1;
    dev_t m_rootDevice = 0;
    std::size_t m_cachedFds = 1;
    std::atomic<bool> m_stop{false};
    std::atomic<std::uint64_t> m_skipped{0};
    std::atomic<std::uint64_t> m_loopsBack{0};
    std::atomic<int> m_failure{0}; // errno of a shortage of descriptors that ended the walk

    std::mutex m_mutex;
    std::condition_variable m_workCv;  // workers wait for work or room
    std::condition_variable m_readyCv; // the reader waits for its directory
    std::list<WalkNodePtr> m_order;    // found, not handed out, in pre-order
    // No waiting directory lies before it: the search for work starts here.
    std::list<WalkNodePtr>::iterator m_searchFrom;
    std::size_t m_waiting = 0; // of them not yet taken by a lister
    std::size_t m_ahead = 0;   // listed or being listed, not yet handed out
    int m_listing = 0;
    bool m_readerWaits = false;

    bool m_ended = false;
    std::chrono::steady_clock::time_point m_lastPoll;
    // The reader's own lister, made when it first helps.
    std::unique_ptr<OrderedWalkLister> m_readerLister;
    std::vector<FoundSubdirectory> m_readerSubdirs;

    std::vector<std::thread> m_threads;
};

OrderedWalk::Impl::Impl(int startFd, Options options)
    : m_options(std::move(options)), m_lookahead(std::max<std::size_t>(1, m_options.lookahead)),
      m_lowWater(m_lookahead - std::max<std::size_t>(1, m_lookahead / 4)), m_rootFd(startFd),
      m_lastPoll(std::chrono::steady_clock::now()) {
    const int openError = startFd < 0 ? errno : 0;
    const int listers = DirectoryFdCache::workerCount(m_options.threads);
    auto rootNode = std::make_shared<WalkNode>();
    rootNode->place = m_order.insert(m_order.end(), rootNode);
    m_searchFrom = m_order.begin();
    struct stat st {};
    if (m_rootFd < 0 || ::fstat(m_rootFd, &st) != 0 || !S_ISDIR(st.st_mode)) {
        if (openError == EMFILE || openError == ENFILE)
            m_failure = openError; // no descriptor even for the start: nothing was read
        else
            ++m_skipped;
        rootNode->result.readable = false;
        rootNode->state = WalkNode::State::Listed;
        m_ahead = 1;
        return;
    }
    rootNode->result.own = ownInodeOf(st);
    auto start = std::make_shared<ScanDirectory>();
    start->device = st.st_dev;
    start->inode = st.st_ino;
    rootNode->dir = std::move(start);
    m_waiting = 1;
    m_rootDevice = st.st_dev;
    m_cachedFds = DirectoryFdCache::capacityPerWorker(listers);
    // The reader's thread is the last lister.
    for (int i = 1; i < listers; ++i)
        m_threads.emplace_back(&Impl::work, this);
}

OrderedWalk::Impl::~Impl() {
    stop();
    for (std::thread& thread : m_threads)
        thread.join();
    m_readerLister.reset();
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
    return m_waiting > 0 && (m_ahead < m_lookahead || m_order.front()->state == WalkNode::State::Waiting);
}

// Nothing waits and nothing being listed can add more.
bool OrderedWalk::Impl::workDone() const {
    return m_waiting == 0 && m_listing == 0;
}

// The first waiting directory: only the look-ahead lies before it.
WalkNodePtr OrderedWalk::Impl::takeWork() {
    auto it = m_searchFrom;
    while ((*it)->state != WalkNode::State::Waiting) {
        (*it)->passed = true;
        ++it;
    }
    m_searchFrom = it;
    WalkNodePtr node = *it;
    node->state = WalkNode::State::Listing;
    --m_waiting;
    ++m_ahead;
    ++m_listing;
    return node;
}

// Lists node, taken under lock, with the lock let go meanwhile; false when
// the walk stopped first.
bool OrderedWalk::Impl::listTaken(OrderedWalkLister& lister, const WalkNodePtr& node, Lock& lock,
                                  std::vector<FoundSubdirectory>& subdirs,
                                  const std::function<bool()>& interrupted) {
    lock.unlock();
    // Only this lister touches the node's result until it is listed.
    const OrderedWalkLister::Outcome outcome = lister.list(node->dir, node->result, subdirs, interrupted);
    const bool listed = outcome != OrderedWalkLister::Outcome::Stopped;
    node->leftOut = outcome == OrderedWalkLister::Outcome::LeftOut;
    std::vector<WalkNodePtr> found = listed ? children(*node, subdirs) : std::vector<WalkNodePtr>{};
    lock.lock();
    if (!listed) {
        if (m_failure.load() != 0) {
            // Nothing after this directory can be handed out in order: everyone stops.
            m_stop = true;
            m_workCv.notify_all();
            m_readyCv.notify_one();
        }
        return false;
    }
    insertAfter(*node, found);
    node->state = WalkNode::State::Listed;
    --m_listing;
    if (m_readerWaits && m_order.front()->state == WalkNode::State::Listed)
        m_readyCv.notify_one();
    if (!found.empty() || workDone())
        m_workCv.notify_all();
    return true;
}

void OrderedWalk::Impl::work() {
    OrderedWalkLister lister(m_rootFd, m_rootDevice, m_cachedFds, m_options, m_stop,
                             {m_skipped, m_loopsBack, m_failure});
    std::vector<FoundSubdirectory> subdirs;
    Lock lock(m_mutex);
    for (;;) {
        m_workCv.wait(lock, [this] { return m_stop || workReady() || workDone(); });
        if (m_stop || !workReady())
            break;
        if (!listTaken(lister, takeWork(), lock, subdirs))
            break;
    }
    // Whoever sees the end first wakes the others to see it too.
    m_workCv.notify_all();
    if (m_readerWaits)
        m_readyCv.notify_one();
}

// The nodes of node's subdirectories, made outside the lock.
std::vector<WalkNodePtr> OrderedWalk::Impl::children(const WalkNode& node,
                                                     std::vector<FoundSubdirectory>& subdirs) const {
    std::vector<WalkNodePtr> made;
    made.reserve(subdirs.size());
    for (std::size_t i = 0; i < subdirs.size(); ++i) {
        auto child = std::make_shared<WalkNode>();
        child->result.name = node.result.subdirectories[qsizetype(i)];
        child->result.depth = node.result.depth + 1;
        child->result.own = subdirs[i].own;
        child->dir = std::move(subdirs[i].dir);
        made.push_back(std::move(child));
    }
    subdirs.clear();
    return made;
}

void OrderedWalk::Impl::insertAfter(WalkNode& node, std::vector<WalkNodePtr>& children) {
    if (children.empty())
        return;
    const auto before = std::next(node.place);
    for (WalkNodePtr& child : children) {
        WalkNode& placed = *child;
        placed.place = m_order.insert(before, std::move(child));
    }
    m_waiting += children.size();
    // Waiting directories now lie before where the search for work starts:
    // it starts again from the front, which never lies after any of them.
    if (node.passed)
        m_searchFrom = m_order.begin();
}

bool OrderedWalk::Impl::pollDue() const {
    return std::chrono::steady_clock::now() >= m_lastPoll + pollInterval;
}

void OrderedWalk::Impl::pollNow(const std::function<void()>& poll) {
    if (poll)
        poll();
    m_lastPoll = std::chrono::steady_clock::now();
}

// Called with the lock held while the front is not listed: lists the first
// waiting directory on this thread, or waits for a lister until the next
// poll is due, and polls when it is. False once cancelled.
bool OrderedWalk::Impl::helpOrWait(Lock& lock, const std::atomic<bool>& cancel,
                                   const std::function<void()>& poll) {
    if (workReady()) {
        if (!m_readerLister) {
            const OrderedWalkLister::Tallies tallies{m_skipped, m_loopsBack, m_failure};
            m_readerLister = std::make_unique<OrderedWalkLister>(m_rootFd, m_rootDevice, m_cachedFds, m_options,
                                                                 m_stop, tallies);
        }
        // A large directory listed here still lets the caller poll and cancel.
        const auto interrupted = [&] {
            if (pollDue())
                pollNow(poll);
            return cancel.load();
        };
        return listTaken(*m_readerLister, takeWork(), lock, m_readerSubdirs, interrupted);
    }
    if (!pollDue()) {
        m_readerWaits = true;
        m_readyCv.wait_until(lock, m_lastPoll + pollInterval);
        m_readerWaits = false;
    }
    if (m_order.front()->state == WalkNode::State::Listed || !pollDue())
        return !cancel.load();
    lock.unlock();
    pollNow(poll);
    lock.lock();
    return !cancel.load();
}

std::optional<WalkedDirectory> OrderedWalk::Impl::next(const std::atomic<bool>& cancel,
                                                       const std::function<void()>& poll) {
    if (m_ended)
        return std::nullopt;
    if (cancel.load()) {
        stop();
        return std::nullopt;
    }
    Lock lock(m_mutex);
    for (;;) {
        if (m_order.empty()) {
            m_ended = true;
            return std::nullopt;
        }
        while (m_order.front()->state != WalkNode::State::Listed) {
            if (m_failure.load() != 0 || !helpOrWait(lock, cancel, poll)) {
                lock.unlock();
                stop();
                return std::nullopt;
            }
        }
        const WalkNodePtr node = m_order.front();
        if (m_searchFrom == m_order.begin())
            ++m_searchFrom;
        m_order.pop_front();
        if (--m_ahead == m_lowWater)
            m_workCv.notify_all();
        if (!node->leftOut)
            return std::move(node->result);
    }
}

OrderedWalk::OrderedWalk(const QByteArray& root, Options options)
    : OrderedWalk(::open(root.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), std::move(options)) {}

OrderedWalk::OrderedWalk(int startFd, Options options)
    : m_impl(std::make_unique<Impl>(startFd, std::move(options))) {}

OrderedWalk::~OrderedWalk() = default;

std::optional<WalkedDirectory> OrderedWalk::next(const std::atomic<bool>& cancel,
                                                 const std::function<void()>& poll) {
    return m_impl->next(cancel, poll);
}

std::uint64_t OrderedWalk::skipped() const {
    return m_impl->skipped();
}

std::uint64_t OrderedWalk::loopsBack() const {
    return m_impl->loopsBack();
}

int OrderedWalk::failure() const {
    return m_impl->failure();
}

QString OrderedWalk::failureText() const {
    const int error = failure();
    return error == 0 ? QString()
                      : QStringLiteral("the walk ran out of file descriptors (%1)")
                            .arg(QString::fromLocal8Bit(std::strerror(error)));
}
