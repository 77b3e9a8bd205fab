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
      m_end(CellFormat::parseShortDate(search.txtEndDate)) {}

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
