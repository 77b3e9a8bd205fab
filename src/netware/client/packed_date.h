#pragma once

#include <QDate>

#include <cstdint>

// NetWare's 16-bit packed dates: bits 0-4 day, 5-8 month, 9-15 years since 1980.
namespace PackedDate {

// A date before 1980 packs as 0; years 2044 to 2107 use the top bit (the
// value is unsigned); later years pack as 31 December 2107.
std::uint16_t pack(const QDate& date);
// The local calendar date of a time in seconds since the epoch, packed.
std::uint16_t packTime(std::int64_t secondsSinceEpoch);
// Decodes with roll-over: month 0 is December of the year before, day 0 the
// last day of the month before (0 gives 30 November 1979).
QDate unpack(std::uint32_t packed);

} // namespace PackedDate
