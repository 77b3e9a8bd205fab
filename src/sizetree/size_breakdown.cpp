#include "sizetree/size_breakdown.h"

#include <QHash>

#include <algorithm>
#include <ctime>
#include <functional>
#include <map>

namespace SizeBreakdown {

namespace {

// The local year and month (1-12) of a time.
std::pair<int, int> yearAndMonth(std::int64_t seconds) {
    const std::time_t t = std::time_t(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1};
}

// The key of a file's row in a breakdown of that kind.
QByteArray keyOf(const SizeTree& tree, SizeTree::Index file, Kind kind) {
    if (kind == Kind::Type)
        return FileTypes::extensionOf(tree.name(file));
    const auto [year, month] = yearAndMonth(tree.item(file).mtime);
    if (kind == Kind::Year)
        return QByteArray::number(year);
    return QByteArray::number(year) + (month < 10 ? "-0" : "-") + QByteArray::number(month);
}

// The files summed by key, in key order; keep leaves a key out when false.
std::vector<Row> summed(const SizeTree& tree, SizeTree::Index folder, bool allocated, Kind kind,
                        const std::function<bool(const QByteArray&)>& keep = {}) {
    std::map<QByteArray, Row> rows;
    for (const SizeTree::Index file : filesBelow(tree, folder)) {
        const QByteArray key = keyOf(tree, file, kind);
        if (keep && !keep(key))
            continue;
        Row& row = rows[key];
        ++row.files;
        if (!tree.countedElsewhere(file))
            row.bytes += allocated ? tree.item(file).allocated : tree.item(file).size;
    }
    std::vector<Row> list;
    for (auto& [key, row] : rows) {
        list.push_back(row);
        list.back().key = key;
    }
    return list;
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
    std::vector<Row> list = summed(tree, folder, allocated, Kind::Type);
    for (Row& row : list)
        row.category = FileTypes::categoryOf(row.key);
    std::stable_sort(list.begin(), list.end(), [](const Row& a, const Row& b) { return a.bytes > b.bytes; });
    return withShares(std::move(list));
}

std::vector<Row> byYear(const SizeTree& tree, SizeTree::Index folder, bool allocated) {
    return withShares(summed(tree, folder, allocated, Kind::Year));
}

std::vector<Row> byMonth(const SizeTree& tree, SizeTree::Index folder, bool allocated, int year) {
    const QByteArray prefix = QByteArray::number(year) + '-';
    return withShares(summed(tree, folder, allocated, Kind::Month,
                             [&prefix](const QByteArray& key) { return key.startsWith(prefix); }));
}

std::vector<SizeTree::Index> largest(const SizeTree& tree, SizeTree::Index folder, bool allocated, std::size_t n) {
    std::vector<SizeTree::Index> files = filesBelow(tree, folder);
    std::erase_if(files, [&tree](SizeTree::Index file) { return tree.countedElsewhere(file); });
    n = std::min(n, files.size());
    std::partial_sort(files.begin(), files.begin() + std::ptrdiff_t(n), files.end(),
                      [&](SizeTree::Index a, SizeTree::Index b) { return tree.bytes(a, allocated) > tree.bytes(b, allocated); });
    files.resize(n);
    return files;
}

std::vector<SizeTree::Index> filesOf(const SizeTree& tree, SizeTree::Index folder, Kind kind, const QByteArray& key) {
    std::vector<SizeTree::Index> files = filesBelow(tree, folder);
    std::erase_if(files, [&](SizeTree::Index file) { return keyOf(tree, file, kind) != key; });
    std::stable_sort(files.begin(), files.end(),
                     [&tree](SizeTree::Index a, SizeTree::Index b) { return tree.item(a).size > tree.item(b).size; });
    return files;
}

} // namespace SizeBreakdown
