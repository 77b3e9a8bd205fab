#include "netware/client/packed_date.h"

#include <ctime>

namespace PackedDate {

namespace {

std::uint16_t packYmd(int year, int month, int day) {
    if (year < 1980)
        return 0;
    if (year > 2107)
        return std::uint16_t((127u << 9) | (12u << 5) | 31u);
    return std::uint16_t((unsigned(year - 1980) << 9) | (unsigned(month) << 5) | unsigned(day));
}

} // namespace

std::uint16_t pack(const QDate& date) {
    return date.isValid() ? packYmd(date.year(), date.month(), date.day()) : 0;
}

// Called once per file by the date search: the C library's local time is
// several times cheaper than going through QDateTime.
std::uint16_t packTime(std::int64_t secondsSinceEpoch) {
    const std::time_t t = std::time_t(secondsSinceEpoch);
    std::tm local{};
    if (!::localtime_r(&t, &local))
        return 0;
    return packYmd(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday);
}

QDate unpack(std::uint32_t packed) {
    packed &= 0xFFFFu;
    const int day = int(packed & 0x1F);
    const int month = int((packed >> 5) & 0x0F);
    const int year = 1980 + int(packed >> 9);
    // Counting from the first of January lets out-of-range months and days
    // roll over into the neighbouring month or year.
    return QDate(year, 1, 1).addMonths(month - 1).addDays(day - 1);
}

} // namespace PackedDate
