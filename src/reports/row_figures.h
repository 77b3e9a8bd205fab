#pragma once

#include <cstdint>

// What a row counts, as exact numbers beside its display text: what a
// history of runs keeps and what a comparison between runs subtracts. A
// figure a report does not have stays kNone.
struct RowFigures {
    static constexpr std::int64_t kNone = -1;

    std::int64_t bytes = kNone;     // apparent bytes: a file's size, a folder's files, an owner's use
    std::int64_t allocated = kNone; // bytes of the blocks taken
    std::int64_t files = kNone;
    std::int64_t modified = kNone;  // a file's modification, seconds since the epoch
    // A volume's figures, in bytes (bytes holds its used space).
    std::int64_t total = kNone;
    std::int64_t purgeable = kNone;
    std::int64_t pending = kNone;   // deleted, not yet purgeable
    std::int64_t free = kNone;

    bool counted() const { return bytes != kNone; }
};
