#pragma once

#include <QDate>

#include <cstdint>

// NetWare's 16-bit packed dates: bits 0-4 day, 5-8 month, 9-15 years since 1980.
namespace PackedDate {

// The earliest and latest dates the packed form holds. Years 2044 to 2107 use
// the top bit (the value is unsigned).
inline constexpr std::uint16_t kEarliest = (0u << 9) | (1u << 5) | 1u;    // 1 January 1980
inline constexpr std::uint16_t kLatest = (127u << 9) | (12u << 5) | 31u;  // 31 December 2107

// A date before 1980 packs as 1 January 1980, a date after 2107 as 31
// December 2107; an invalid date packs as 0.
std::uint16_t pack(const QDate& date);
// The local calendar date of a time in seconds since the epoch, packed and
// held within the same range, for any 64-bit value.
std::uint16_t packTime(std::int64_t secondsSinceEpoch);
// Decodes with roll-over: month 0 is December of the year before, day 0 the
// last day of the month before (0 gives 30 November 1979).
QDate unpack(std::uint32_t packed);

} // namespace PackedDate
