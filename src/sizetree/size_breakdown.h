#pragma once

#include "sizetree/file_types.h"
#include "sizetree/size_tree.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

// A folder's files summed by type (extension) and by age (modification
// year, or month of one year), largest first or in time order; sizes
// apparent or allocated, each file's own (a file with several names once).
namespace SizeBreakdown {

struct Row {
    QByteArray key;  // the extension ("" for none), or the year "2024", or the month "2024-03"
    FileCategory category = FileCategory::Other;
    std::uint64_t files = 0;
    std::uint64_t bytes = 0;
    double percent = 0; // of the folder's files' bytes
};

std::vector<Row> byType(const SizeTree& tree, SizeTree::Index folder, bool allocated);
// Years in order, oldest first; the local time's year of each modification.
std::vector<Row> byYear(const SizeTree& tree, SizeTree::Index folder, bool allocated);
// The months of one year, January first (only those with files).
std::vector<Row> byMonth(const SizeTree& tree, SizeTree::Index folder, bool allocated, int year);

// Every file at or below folder, in no particular order.
std::vector<SizeTree::Index> filesBelow(const SizeTree& tree, SizeTree::Index folder);

// The n largest files at or below folder by the figure shown, largest first;
// a file's second name (counted elsewhere) is left out.
std::vector<SizeTree::Index> largest(const SizeTree& tree, SizeTree::Index folder, bool allocated, std::size_t n);

// What a row of a breakdown is keyed by.
enum class Kind { Type, Year, Month };
// The files behind a row of a breakdown (its key), largest first.
std::vector<SizeTree::Index> filesOf(const SizeTree& tree, SizeTree::Index folder, Kind kind, const QByteArray& key);

} // namespace SizeBreakdown
