#pragma once

#include "reports/ncdu_scan.h"
#include "sizetree/size_tree.h"

#include <memory>

// The size tree of a scan read from an ncdu export (ours, ncdu's or gdu's):
// a server where only ncdu runs browsed as a walk of it would be. Entries
// the scan left out (excluded, other file systems) are not in it; a file
// with several names is summed once, as du counts it.
namespace ScanSizeTree {

std::shared_ptr<SizeTree> of(const NcduScan& scan);

} // namespace ScanSizeTree
