#include "reports/date_filter.h"

#include "netware/client/packed_date.h"
#include "reports/cell_format.h"

QString fcnGetDate(std::uint32_t packedDate) {
    return CellFormat::shortDate(PackedDate::unpack(packedDate));
}

qint64 fcnDaysSince1990(const QDate& date) {
    return QDate(1990, 1, 1).daysTo(date);
}

DateFilter::DateFilter(const SearchSettings& search)
    : m_basis(search.dateOption), m_comparison(search.cmbDate.text),
      m_selected(CellFormat::parseShortDate(search.txtSelectedDate)),
      m_end(CellFormat::parseShortDate(search.txtEndDate)) {
    const auto packable = [](const QDate& d) { return d.isValid() && d.year() >= 1980 && d.year() <= 2107; };
    if (packable(m_selected) && (packable(m_end) || m_comparison != QLatin1String("Between"))) {
        m_selectedPacked = PackedDate::pack(m_selected);
        m_endPacked = PackedDate::pack(m_end);
    }
}

bool DateFilter::keepsPacked(std::uint16_t packed) const {
    // Packed 0 (no date recorded) decodes to 30 November 1979, which needs the calendar.
    if (packed == 0 || m_selectedPacked == 0)
        return keeps(PackedDate::unpack(packed));
    if (m_comparison == QLatin1String("Older than"))
        return packed < m_selectedPacked;
    if (m_comparison == QLatin1String("Newer than"))
        return packed > m_selectedPacked;
    if (m_comparison != QLatin1String("Between"))
        return false;
    const std::uint16_t low = std::min(m_selectedPacked, m_endPacked);
    const std::uint16_t high = std::max(m_selectedPacked, m_endPacked);
    return packed >= low && packed <= high;
}

std::uint16_t DateFilter::packedDateOf(const WalkedFile& file) const {
    switch (m_basis) {
    case DateOption::optAccessDate: return PackedDate::packTime(file.atime);
    case DateOption::optCreationDate: return file.btime ? PackedDate::packTime(*file.btime) : 0;
    case DateOption::optModifyDate:
    case DateOption::None: break;
    }
    return PackedDate::packTime(file.mtime);
}

bool DateFilter::keeps(const QDate& date) const {
    if (!m_selected.isValid() || !date.isValid())
        return false;
    if (m_comparison == QLatin1String("Older than"))
        return date.daysTo(m_selected) > 0;
    if (m_comparison == QLatin1String("Newer than"))
        return date.daysTo(m_selected) < 0;
    if (m_comparison != QLatin1String("Between") || !m_end.isValid())
        return false;
    const QDate low = std::min(m_selected, m_end);
    const QDate high = std::max(m_selected, m_end);
    return low.daysTo(date) >= 0 && date.daysTo(high) >= 0;
}
