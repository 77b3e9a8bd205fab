#include "reports/scan_walk.h"

#include "reports/json_cursor.h"

#include <algorithm>

namespace {

// Directories handed out between two polls.
constexpr unsigned kPollEvery = 256;

OwnInode ownInodeOf(const NcduScan::Entry& entry) {
    return {entry.apparent, entry.allocated, entry.uid, entry.gid, entry.mode, entry.mtime};
}

// What a walk's stat of the file would have told, as far as the scan has it.
WalkedFile walkedFileOf(const NcduScan::Entry& entry) {
    WalkedFile file;
    file.statted = !entry.readError;
    file.size = entry.apparent;
    file.uid = entry.uid;
    file.mtime = entry.mtime;
    file.inode = entry.inode;
    file.links = std::max<std::uint32_t>(entry.links, 1);
    file.gid = entry.gid;
    file.mode = entry.mode;
    file.allocated = entry.allocated;
    file.device = entry.device;
    return file;
}

} // namespace

ScanWalk::ScanWalk(RunState& run, const QString& path, OrderedWalk::Options options)
    : m_options(std::move(options)) {
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
        if (std::size_t(out.files.size()) > m_options.filesEnough) {
            out.cut = true; // as a walk stops listing the folder there
            break;
        }
    }
    countLinkedOnce(out);
    std::sort(out.files.begin(), out.files.end(),
              [](const WalkedFile& a, const WalkedFile& b) { return lessByNameCaseless(a.name, b.name); });
    pushSubdirectories(subdirectories, depth + 1, out);
    return out;
}

// As a walk lists a file: the name filter first, then the sums, then the
// file filter on what the stat told.
void ScanWalk::addFile(std::size_t index, WalkedDirectory& out) {
    const QByteArrayView name = m_scan.name(index);
    if (m_options.nameFilter && !m_options.nameFilter(name.constData(), std::size_t(name.size())))
        return;
    const NcduScan::Entry& entry = m_scan.entry(index);
    ++out.fileCount;
    if (entry.excluded != NcduScan::Excluded::None)
        return;
    if (entry.readError)
        ++m_skipped;
    else
        count(entry, out);
    WalkedFile file = walkedFileOf(entry);
    if (file.statted && m_options.fileFilter && !m_options.fileFilter(file)) {
        ++out.filteredOut;
        return;
    }
    file.name = name.toByteArray();
    out.files.push_back(std::move(file));
}

void ScanWalk::count(const NcduScan::Entry& file, WalkedDirectory& out) const {
    if (file.hardLinked) {
        out.linked.push_back({file.inode, file.apparent, file.allocated, file.uid});
        return;
    }
    out.fileBytes += file.apparent;
    addOwnerBytes(out.ownerBytes, file.uid, file.allocated);
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
