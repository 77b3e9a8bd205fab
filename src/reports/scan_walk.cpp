#include "reports/scan_walk.h"

#include "reports/json_cursor.h"

#include <algorithm>

namespace {

// Directories handed out between two polls.
constexpr unsigned kPollEvery = 256;

OwnInode ownInodeOf(const NcduScan::Entry& entry) {
    return {entry.apparent, entry.allocated, entry.uid, entry.gid, entry.mode, entry.mtime};
}

} // namespace

ScanWalk::ScanWalk(RunState& run, const QString& path) {
    try {
        m_scan = NcduScan::read(path);
    } catch (const JsonCursor::Error& error) {
        m_failed = true;
        if (run.failure.isEmpty()) {
            run.failure = path + QStringLiteral(": ") + error.text();
            run.failureStatus = 1;
        }
        return;
    }
    m_pending.push_back({0, 0});
}

std::optional<WalkedDirectory> ScanWalk::next(const std::atomic<bool>& cancel, const std::function<void()>& poll) {
    if (poll && ++m_handedOut % kPollEvery == 0)
        poll();
    if (m_pending.empty() || cancel.load())
        return std::nullopt;
    const auto [index, depth] = m_pending.back();
    m_pending.pop_back();
    return directoryAt(index, depth);
}

WalkedDirectory ScanWalk::directoryAt(std::size_t index, int depth) {
    const NcduScan::Entry& entry = m_scan.entry(index);
    WalkedDirectory out;
    if (depth > 0)
        out.name = m_scan.name(index).toByteArray();
    out.depth = depth;
    out.readable = !entry.readError;
    if (out.readable) {
        out.device = entry.device;
        out.inode = entry.inode;
    } else {
        ++m_skipped;
    }
    out.own = ownInodeOf(entry);
    std::vector<std::size_t> subdirectories;
    for (const std::size_t child : m_scan.children(index)) {
        const NcduScan::Entry& inside = m_scan.entry(child);
        if (!inside.directory)
            addFile(child, out);
        else if (inside.excluded == NcduScan::Excluded::None)
            subdirectories.push_back(child);
    }
    countLinkedOnce(out);
    pushSubdirectories(subdirectories, depth + 1, out);
    return out;
}

void ScanWalk::addFile(std::size_t index, WalkedDirectory& out) {
    const NcduScan::Entry& file = m_scan.entry(index);
    ++out.fileCount;
    if (file.readError)
        ++m_skipped;
    else if (file.hardLinked)
        out.linked.push_back({file.inode, file.apparent, file.allocated, file.uid});
    else
        out.fileBytes += file.apparent;
}

// In name order, the first on top of the pending ones.
void ScanWalk::pushSubdirectories(std::vector<std::size_t>& subdirectories, int depth, WalkedDirectory& out) {
    const auto nameOf = [this](std::size_t index) {
        const QByteArrayView name = m_scan.name(index);
        return QByteArray::fromRawData(name.constData(), name.size());
    };
    std::sort(subdirectories.begin(), subdirectories.end(),
              [&nameOf](std::size_t a, std::size_t b) { return lessByNameCaseless(nameOf(a), nameOf(b)); });
    for (const std::size_t index : subdirectories)
        out.subdirectories.push_back(m_scan.name(index).toByteArray());
    for (auto it = subdirectories.rbegin(); it != subdirectories.rend(); ++it)
        m_pending.push_back({*it, depth});
}
