#include "sizetree/size_breakdown.h"

#include <QHash>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>
#include <optional>

namespace SizeBreakdown {

namespace {

// The local year and month (1-12) of a time.
std::pair<int, int> yearAndMonth(std::int64_t seconds) {
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1};
}

// Sums the files by the key keyOf gives (an empty optional leaves a file out).
template <typename Key>
std::map<Key, Row> summed(const SizeTree& tree, SizeTree::Index folder, bool allocated,
                          const std::function<std::optional<Key>(SizeTree::Index)>& keyOf) {
    std::map<Key, Row> rows;
    for (const SizeTree::Index file : filesBelow(tree, folder)) {
        const std::optional<Key> key = keyOf(file);
        if (!key)
            continue;
        Row& row = rows[*key];
        ++row.files;
        if (!tree.countedElsewhere(file))
            row.bytes += allocated ? tree.item(file).allocated : tree.item(file).size;
    }
    return rows;
}

std::vector<Row> withShares(std::vector<Row> rows) {
    std::uint64_t total = 0;
    for (const Row& row : rows)
        total += row.bytes;
    for (Row& row : rows)
        row.percent = total ? 100.0 * double(row.bytes) / double(total) : 0;
    return rows;
}

} // namespace

std::vector<SizeTree::Index> filesBelow(const SizeTree& tree, SizeTree::Index folder) {
    std::vector<SizeTree::Index> files;
    std::vector<SizeTree::Index> pending{folder};
    while (!pending.empty()) {
        const SizeTree::Index at = pending.back();
        pending.pop_back();
        if (!tree.isFolder(at)) {
            files.push_back(at);
            continue;
        }
        for (const SizeTree::Index child : tree.children(at))
            pending.push_back(child);
    }
    return files;
}

std::vector<Row> byType(const SizeTree& tree, SizeTree::Index folder, bool allocated) {
    const auto rows = summed<QByteArray>(tree, folder, allocated, [&tree](SizeTree::Index file) {
        return std::optional<QByteArray>(FileTypes::extensionOf(tree.name(file)));
    });
    std::vector<Row> list;
    for (const auto& [extension, row] : rows) {
        list.push_back(row);
        list.back().key = extension;
        list.back().category = FileTypes::categoryOf(extension);
    }
    std::stable_sort(list.begin(), list.end(), [](const Row& a, const Row& b) { return a.bytes > b.bytes; });
    return withShares(std::move(list));
}

std::vector<Row> byYear(const SizeTree& tree, SizeTree::Index folder, bool allocated) {
    const auto rows = summed<int>(tree, folder, allocated, [&tree](SizeTree::Index file) {
        return std::optional<int>(yearAndMonth(tree.item(file).mtime).first);
    });
    std::vector<Row> list;
    for (const auto& [year, row] : rows) {
        list.push_back(row);
        list.back().key = QByteArray::number(year);
    }
    return withShares(std::move(list));
}

std::vector<Row> byMonth(const SizeTree& tree, SizeTree::Index folder, bool allocated, int year) {
    const auto rows = summed<int>(tree, folder, allocated, [&tree, year](SizeTree::Index file) {
        const auto [y, month] = yearAndMonth(tree.item(file).mtime);
        return y == year ? std::optional<int>(month) : std::nullopt;
    });
    std::vector<Row> list;
    for (const auto& [month, row] : rows) {
        list.push_back(row);
        list.back().key = QByteArray::number(year) + (month < 10 ? "-0" : "-") + QByteArray::number(month);
    }
    return withShares(std::move(list));
}

} // namespace SizeBreakdown
