#pragma once

#include "reports/json_cursor.h"
#include "reports/ncdu_scan.h"

#include <cstdint>
#include <string>
#include <vector>

// Reads ncdu's export format, major version 1 (any minor), into an NcduScan:
// [1, minor, {metadata}, [{root}, {file}, [{directory}, ...], ...]]. Every
// entry needs a name; fields it does not know are passed over, as ncdu does.
// Directory arrays are followed with a stack of their own, not by
// recursion, so no file can exhaust the program's stack; nesting deeper
// than kMaxDepth is refused all the same, as no tree is that deep.
class NcduParser {
public:
    // Far past any tree a path can reach (PATH_MAX allows 2,048 levels).
    static constexpr std::size_t kMaxDepth = 65536;

    NcduParser(int fd, NcduScan& scan);
    // Throws JsonCursor::Error.
    void parse();

private:
    void header();
    void tree();
    void openDirectory();
    void addEntry(bool directory);
    void field(NcduScan::Entry& entry);
    std::uint32_t smallNumber(const char* what);
    NcduScan::Excluded excludedKind();

    JsonCursor m_cursor;
    NcduScan& m_scan;
    std::vector<std::uint32_t> m_open; // the directories whose arrays are open, outermost first
    std::string m_key;
    std::string m_text;
    bool m_named = false;
};
