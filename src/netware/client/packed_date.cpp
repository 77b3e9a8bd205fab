#include "netware/client/packed_date.h"

#include <QDateTime>

namespace PackedDate {

std::uint16_t pack(const QDate& date) {
    if (!date.isValid() || date.year() < 1980)
        return 0;
    if (date.year() > 2107)
        return std::uint16_t((127u << 9) | (12u << 5) | 31u);
    return std::uint16_t((unsigned(date.year() - 1980) << 9) | (unsigned(date.month()) << 5) |
                         unsigned(date.day()));
}

std::uint16_t packTime(std::int64_t secondsSinceEpoch) {
    return pack(QDateTime::fromSecsSinceEpoch(secondsSinceEpoch).date());
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
