#include "reports/directory_trail.h"

#include "fsview/name_bytes.h"

DirectoryTrail::DirectoryTrail(QString start) : m_path(std::move(start)), m_lengths{m_path.size()} {}

const QString& DirectoryTrail::enter(const WalkedDirectory& directory) {
    const std::size_t depth = std::size_t(std::max(directory.depth, 0));
    if (depth == 0 || depth > m_lengths.size())
        return m_path; // the start, or a walk that skipped a level: nothing to add
    m_lengths.resize(depth);
    m_path.truncate(m_lengths.back());
    if (!m_path.endsWith(QLatin1Char('\\')))
        m_path += QLatin1Char('\\');
    m_path += NameBytes::decode(directory.name);
    m_lengths.push_back(m_path.size());
    return m_path;
}
