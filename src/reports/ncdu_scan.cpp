#include "reports/ncdu_scan.h"

#include "fsview/unique_fd.h"
#include "reports/json_cursor.h"
#include "reports/ncdu_parser.h"

#include <QFile>

#include <cerrno>
#include <cstring>
#include <set>
#include <utility>

#include <fcntl.h>

namespace {

// Each entry's own bytes as field gives them, an inode with several names once.
template <typename Field>
std::uint64_t sumOnce(const std::vector<NcduScan::Entry>& entries, Field field) {
    std::set<std::pair<std::uint64_t, std::uint64_t>> seen;
    std::uint64_t sum = 0;
    for (const NcduScan::Entry& entry : entries) {
        if (!entry.hardLinked || seen.insert({entry.device, entry.inode}).second)
            sum += field(entry);
    }
    return sum;
}

// Whether every entry looked at has what given tells.
template <typename Given>
bool everyLookedAt(const std::vector<NcduScan::Entry>& entries, Given given) {
    for (const NcduScan::Entry& entry : entries) {
        if (entry.excluded == NcduScan::Excluded::None && !entry.readError && !given(entry))
            return false;
    }
    return true;
}

} // namespace

NcduScan NcduScan::read(const QString& path) {
    const UniqueFd fd(::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC));
    if (!fd.valid())
        throw JsonCursor::Error{0, 0, QStringLiteral("cannot open %1: %2").arg(path, QString::fromLocal8Bit(std::strerror(errno)))};
    NcduScan scan;
    NcduParser(fd.get(), scan).parse();
    return scan;
}

QByteArrayView NcduScan::name(std::size_t index) const {
    const Entry& e = m_entries[index];
    return QByteArrayView(m_names.data() + e.nameOffset, qsizetype(e.nameLength));
}

std::vector<std::size_t> NcduScan::children(std::size_t index) const {
    std::vector<std::size_t> found;
    for (std::size_t i = index + 1; i < m_entries[index].end; i = m_entries[i].end)
        found.push_back(i);
    return found;
}

std::uint64_t NcduScan::apparentBytes() const {
    return sumOnce(m_entries, [](const Entry& e) { return e.apparent; });
}

std::uint64_t NcduScan::allocatedBytes() const {
    return sumOnce(m_entries, [](const Entry& e) { return e.allocated; });
}

bool NcduScan::recordsTimes() const {
    return everyLookedAt(m_entries, [](const Entry& e) { return e.timed; });
}

bool NcduScan::recordsOwners() const {
    return everyLookedAt(m_entries, [](const Entry& e) { return e.owned; });
}
