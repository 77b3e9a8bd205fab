#include "netware/client/packed_date.h"

#include <ctime>

namespace PackedDate {

namespace {

constexpr int kFirstYear = 1980;
constexpr int kLastYear = 2107;

// Times safely outside the packable years in every time zone (a day's margin
// either side), answered without asking the C library: its broken-down year is
// an int, which times far in the future or past overflow.
constexpr std::int64_t kSecondsPerDay = 86400;
constexpr std::int64_t kFirstYearStart = 315532800;   // 1980-01-01 00:00 UTC
constexpr std::int64_t kAfterLastYear = 4354819200;   // 2108-01-01 00:00 UTC

std::uint16_t packYmd(int year, int month, int day) {
    if (year < kFirstYear)
        return kEarliest;
    if (year > kLastYear)
        return kLatest;
    return std::uint16_t((unsigned(year - kFirstYear) << 9) | (unsigned(month) << 5) | unsigned(day));
}

} // namespace

std::uint16_t pack(const QDate& date) {
    return date.isValid() ? packYmd(date.year(), date.month(), date.day()) : 0;
}

// Called once per file by the date search: the C library's local time is
// several times cheaper than going through QDateTime.
std::uint16_t packTime(std::int64_t secondsSinceEpoch) {
    if (secondsSinceEpoch < kFirstYearStart - kSecondsPerDay)
        return kEarliest;
    if (secondsSinceEpoch >= kAfterLastYear + kSecondsPerDay)
        return kLatest;
    const std::time_t t = std::time_t(secondsSinceEpoch);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return kEarliest;
    // tm_year counts from 1900; within the margin above it stays small.
    return packYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

QDate unpack(std::uint32_t packed) {
    packed &= 0xFFFFu;
    const int day = int(packed & 0x1F);
    const int month = int((packed >> 5) & 0x0F);
    const int year = kFirstYear + int(packed >> 9);
    // Counting from the first of January lets out-of-range months and days
    // roll over into the neighbouring month or year.
    return QDate(year, 1, 1).addMonths(month - 1).addDays(day - 1);
}

} // namespace PackedDate
