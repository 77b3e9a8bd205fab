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
    m_removed.push_back(false);
    m_linked.push_back(false);
    return index;
}

SizeTree::Index SizeTree::addFolder(Index parent, QByteArrayView name, const Item& own, std::uint64_t device) {
    const Index index = add(parent, name, own, Index(m_folderEntry.size()));
    m_folderEntry.push_back(index);
    m_folderDevice.push_back(device);
    return index;
}

SizeTree::Index SizeTree::addFile(Index folder, QByteArrayView name, const Item& item, bool countedElsewhere,
                                  bool linked) {
    const Index index = add(folder, name, item, kNone);
    m_countedElsewhere[index] = countedElsewhere;
    m_linked[index] = linked || countedElsewhere;
    return index;
}

FileIdentity SizeTree::identity(Index file) const {
    const Item& item = m_item[file];
    return {device(file), item.inode, item.size, item.mtime, item.mtimeNsec, item.ctime, item.ctimeNsec};
}

std::vector<SizeTree::Index> SizeTree::otherNames(Index file) const {
    std::vector<Index> names;
    if (!m_linked[file])
        return names; // a file of one name: the common case costs no search
    const auto found = m_namesOfLinked.find({device(file), m_item[file].inode});
    if (found == m_namesOfLinked.end())
        return names;
    for (const Index i : found->second) {
        if (i != file && !m_removed[i])
            names.push_back(i);
    }
    return names;
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
    for (Index f = 0; f < m_folderEntry.size(); ++f)
        order(f);
    m_namesOfLinked.clear();
    for (Index i = 0; i < m_parent.size(); ++i) {
        if (m_linked[i] && !isFolder(i))
            m_namesOfLinked[{device(i), m_item[i].inode}].push_back(i);
    }
}

void SizeTree::order(Index folderNo) {
    const auto begin = m_children.begin() + m_childrenAt[folderNo];
    const auto end = m_children.begin() + m_childrenAt[folderNo + 1];
    std::stable_sort(begin, end, [this](Index a, Index b) { return bytes(a, false) > bytes(b, false); });
    for (auto it = begin; it != end; ++it)
        m_rowInParent[*it] = std::uint32_t(it - begin);
}

// With sign -1 the entry's name and what it counts leave every folder above
// it; with +1 what it counts joins them (a name that is already there).
void SizeTree::countAbove(Index i, int sign, std::vector<bool>& touched) {
    const Sums own = sums(i);
    for (Index up = m_parent[i]; up != kNone; up = m_parent[up]) {
        Sums& into = m_sums[m_folderNo[up]];
        into.bytes = sign > 0 ? into.bytes + own.bytes : into.bytes - own.bytes;
        into.allocated = sign > 0 ? into.allocated + own.allocated : into.allocated - own.allocated;
        if (sign < 0)
            into.files -= own.files;
        touched[m_folderNo[up]] = true;
    }
}

// The file's space was counted under a name now gone: a name left counts it.
void SizeTree::countInsteadOf(Index file, std::vector<bool>& touched) {
    // Only a name that was not counted: two files that shared an inode
    // number one after the other are each counted already.
    for (const Index other : otherNames(file)) {
        if (m_countedElsewhere[other]) {
            m_countedElsewhere[other] = false;
            countAbove(other, +1, touched);
            return;
        }
    }
}

void SizeTree::refreshNewest(Index folderNo) {
    const Index folder = m_folderEntry[folderNo];
    std::int64_t newest = m_item[folder].mtime;
    for (const Index child : children(folder))
        newest = std::max(newest, sums(child).newest);
    m_sums[folderNo].newest = newest;
}

// Each folder's children without the entries taken out, in the order they had.
void SizeTree::dropRemovedChildren() {
    std::uint32_t kept = 0;
    std::uint32_t begin = 0;
    for (std::size_t f = 0; f + 1 < m_childrenAt.size(); ++f) {
        const std::uint32_t end = m_childrenAt[f + 1];
        for (std::uint32_t at = begin; at < end; ++at) {
            if (!m_removed[m_children[at]])
                m_children[kept++] = m_children[at];
        }
        begin = end;
        m_childrenAt[f + 1] = kept;
    }
    m_children.resize(kept);
}

void SizeTree::removeFiles(std::span<const Index> files) {
    std::vector<bool> touched(m_folderEntry.size(), false);
    for (const Index file : files) {
        if (file >= m_parent.size() || isFolder(file) || m_removed[file])
            continue;
        countAbove(file, -1, touched);
        m_removed[file] = true;
        if (!m_countedElsewhere[file])
            countInsteadOf(file, touched);
    }
    dropRemovedChildren();
    // Children come after their parents: from the end, each folder's newest
    // is refreshed after those of the folders below it.
    for (Index f = Index(m_folderEntry.size()); f-- > 0;) {
        if (touched[f]) {
            refreshNewest(f);
            order(f);
        }
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
