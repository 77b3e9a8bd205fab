#pragma once

#include "fsview/ordered_walk.h"

#include <QString>

#include <vector>

// The volume path of each directory of a walk, as the rows show it, built
// as the walk goes: a directory's path is its parent's plus its own name, so
// however deep the tree, no path is taken apart or joined again.
class DirectoryTrail {
public:
    // start: the start directory's volume path (\\SERVER\VOLUME\ for a root).
    explicit DirectoryTrail(QString start);

    // The path of the next directory of the walk, which comes in pre-order.
    const QString& enter(const WalkedDirectory& directory);
    const QString& current() const { return m_path; }

private:
    QString m_path;
    std::vector<qsizetype> m_lengths; // of m_path at each depth up to the current one
};
