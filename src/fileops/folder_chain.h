#pragma once

#include "fsview/unique_fd.h"

#include <QByteArray>
#include <QList>

#include <functional>
#include <vector>

// Descriptors of folders below a base descriptor, opened one component at a
// time. The chain opened last is kept: the next one that begins the same way
// opens only the rest, so acting on thousands of files in a deep tree opens
// each folder once.
class FolderChain {
public:
    // Opens one component below parent; an invalid descriptor with errno set when it cannot.
    using Step = std::function<UniqueFd(int parent, const QByteArray& name, std::size_t index)>;

    // The folder at the end of names below base (base itself for no names);
    // -1 with errno set when a component cannot be opened. base must stay
    // open while the chain is used.
    int open(int base, const QList<QByteArray>& names, const Step& step);
    // Forgets the chain, before its base is closed.
    void clear();

    // One component, never through a symbolic link, never onto another file
    // system, never "", ".", ".." or a name holding "/" (EINVAL).
    static UniqueFd openComponent(int parent, const QByteArray& name, int flags);

private:
    int m_base = -1;
    QList<QByteArray> m_names;
    std::vector<UniqueFd> m_fds;
};
