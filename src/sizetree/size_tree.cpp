#include "sizetree/size_tree.h"

#include <algorithm>

SizeTree::Index SizeTree::add(Index parent, QByteArrayView name, const Item& item, Index folderNo) {
    const Index index = Index(m_parent.size());
    m_parent.push_back(parent);
    m_nameAt.push_back(std::uint32_t(m_names.size()));
    m_names.append(name.data(), name.size());
    m_item.push_back(item);
    m_folderNo.push_back(folderNo);
    m_countedElsewhere.push_back(false);
    return index;
}

SizeTree::Index SizeTree::addFolder(Index parent, QByteArrayView name, const Item& own) {
    const Index index = add(parent, name, own, Index(m_folderEntry.size()));
    m_folderEntry.push_back(index);
    return index;
}

SizeTree::Index SizeTree::addFile(Index folder, QByteArrayView name, const Item& item, bool countedElsewhere) {
    const Index index = add(folder, name, item, kNone);
    m_countedElsewhere[index] = countedElsewhere;
    return index;
}

QByteArray SizeTree::name(Index i) const {
    const std::uint32_t end = i + 1 < m_nameAt.size() ? m_nameAt[i + 1] : std::uint32_t(m_names.size());
    return m_names.mid(m_nameAt[i], end - m_nameAt[i]);
}

SizeTree::Sums SizeTree::sums(Index i) const {
    if (isFolder(i))
        return m_sums[m_folderNo[i]];
    const Item& item = m_item[i];
    const bool counted = !m_countedElsewhere[i];
    return {counted ? item.size : 0, counted ? item.allocated : 0, 1, 0, item.mtime};
}

std::uint64_t SizeTree::bytes(Index i, bool allocated) const {
    if (!isFolder(i) && m_countedElsewhere[i])
        return 0; // its space is where its other name was met
    if (!isFolder(i))
        return allocated ? m_item[i].allocated : m_item[i].size;
    const Sums& s = m_sums[m_folderNo[i]];
    return allocated ? s.allocated : s.bytes;
}

void SizeTree::finish() {
    m_sums.assign(m_folderEntry.size(), Sums{});
    for (std::size_t f = 0; f < m_folderEntry.size(); ++f) {
        const Item& own = m_item[m_folderEntry[f]];
        m_sums[f] = {own.size, own.allocated, 0, 0, own.mtime};
    }
    // Children come after their parents: one pass from the end sums every folder.
    std::vector<std::uint32_t> counts(m_folderEntry.size() + 1, 0);
    for (Index i = Index(m_parent.size()); i-- > 0;) {
        const Index parent = m_parent[i];
        if (parent == kNone)
            continue;
        const Sums below = sums(i);
        Sums& into = m_sums[m_folderNo[parent]];
        into.bytes += below.bytes;
        into.allocated += below.allocated;
        into.files += below.files;
        into.folders += below.folders + (isFolder(i) ? 1 : 0);
        into.newest = std::max(into.newest, below.newest);
        ++counts[m_folderNo[parent] + 1];
    }
    m_childrenAt.assign(counts.size(), 0);
    for (std::size_t f = 1; f < counts.size(); ++f)
        m_childrenAt[f] = m_childrenAt[f - 1] + counts[f];
    m_children.assign(m_childrenAt.back(), kNone);
    std::vector<std::uint32_t> next(m_childrenAt.begin(), m_childrenAt.end() - 1);
    for (Index i = 0; i < m_parent.size(); ++i) {
        if (m_parent[i] != kNone)
            m_children[next[m_folderNo[m_parent[i]]]++] = i;
    }
    m_rowInParent.assign(m_parent.size(), 0);
    for (std::size_t f = 0; f < m_folderEntry.size(); ++f) {
        const auto begin = m_children.begin() + m_childrenAt[f];
        const auto end = m_children.begin() + m_childrenAt[f + 1];
        std::stable_sort(begin, end, [this](Index a, Index b) { return bytes(a, false) > bytes(b, false); });
        for (auto it = begin; it != end; ++it)
            m_rowInParent[*it] = std::uint32_t(it - begin);
    }
}

std::span<const SizeTree::Index> SizeTree::children(Index folder) const {
    const Index f = m_folderNo[folder];
    if (f == kNone || f + 1 >= m_childrenAt.size())
        return {};
    return std::span<const Index>(m_children.data() + m_childrenAt[f], m_childrenAt[f + 1] - m_childrenAt[f]);
}

QByteArray SizeTree::path(Index i, char separator) const {
    QByteArray joined = name(i);
    for (Index up = m_parent[i]; up != kNone; up = m_parent[up]) {
        const QByteArray above = name(up);
        joined = above.endsWith('/') || above.endsWith('\\') ? above + joined : above + separator + joined;
    }
    return joined;
}
