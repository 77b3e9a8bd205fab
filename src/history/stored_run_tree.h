#pragma once

#include "history/stored_run.h"
#include "sizetree/size_tree.h"

#include <memory>

// A kept Directory run as a size tree: each folder row a folder below the
// row it names as its parent, its own figures the row's (a folder's own
// files with All Sub-Directories, a whole subtree with Immediate), so each
// folder sums what the run counted below it. A run keeps no files.
namespace StoredRunTree {

// place: the run's start directory, the tree's root.
std::shared_ptr<SizeTree> of(const QList<StoredRow>& rows, const QString& place);

} // namespace StoredRunTree
