#include "reports/directory_trail.h"

#include "fsview/name_bytes.h"

DirectoryTrail::DirectoryTrail(QString start) : m_path(std::move(start)), m_lengths{m_path.size()} {}

const QString& DirectoryTrail::enter(const WalkedDirectory& directory) {
    const std::size_t depth = std::size_t(std::max(directory.depth, 0));
    if (depth == 0 || depth > m_lengths.size())
        return m_path; // the start, or a walk that skipped a level: nothing to add
    m_lengths.resize(depth);
    const qsizetype kept = m_lengths.back();
    const bool slash = kept > 0 && m_path[kept - 1] == QLatin1Char('\\');
    if (m_path.isDetached()) {
        m_path.truncate(kept);
    } else {
        // Rows or the status line still hold the path as it was: the new
        // one is made in one piece rather than copied and then grown.
        QString path;
        path.reserve(kept + 1 + directory.name.size());
        path.append(QStringView(m_path).left(kept));
        m_path = std::move(path);
    }
    if (!slash)
        m_path += QLatin1Char('\\');
    NameBytes::appendDecoded(m_path, directory.name);
    m_lengths.push_back(m_path.size());
    return m_path;
}
