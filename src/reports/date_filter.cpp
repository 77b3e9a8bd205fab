#include "reports/date_filter.h"

#include "netware/client/packed_date.h"
#include "reports/cell_format.h"

#include <ctime>

namespace {

// Wider than any time zone's offset and daylight saving step together.
constexpr std::int64_t kUnsure = 2 * 86400;

// The local time at which the day begins.
std::int64_t dayStart(const QDate& day) {
    std::tm local{};
    local.tm_year = day.year() - 1900;
    local.tm_mon = day.month() - 1;
    local.tm_mday = day.day();
    local.tm_isdst = -1;
    return std::int64_t(std::mktime(&local));
}

bool near(std::int64_t time, const std::optional<std::int64_t>& edge) {
    return edge && time > *edge - kUnsure && time < *edge + kUnsure;
}

} // namespace

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
        findEdges();
    }
}

// Only dates inside the packable days: at their ends packed dates are held
// and no longer follow the time.
void DateFilter::findEdges() {
    const auto inside = [](const QDate& d) { return d > QDate(1980, 1, 1) && d < QDate(2107, 12, 31); };
    if (!inside(m_selected))
        return;
    if (m_comparison == QLatin1String("Older than")) {
        m_to = dayStart(m_selected);
    } else if (m_comparison == QLatin1String("Newer than")) {
        m_from = dayStart(m_selected.addDays(1));
    } else if (m_comparison == QLatin1String("Between") && inside(m_end)) {
        m_from = dayStart(std::min(m_selected, m_end));
        m_to = dayStart(std::max(m_selected, m_end).addDays(1));
    } else {
        return;
    }
    m_edgesKnown = true;
}

bool DateFilter::keepsFile(const WalkedFile& file) const {
    const std::optional<std::int64_t> time = timeOf(file);
    if (!m_edgesKnown || !time || near(*time, m_from) || near(*time, m_to))
        return keepsPacked(packedDateOf(file));
    return (!m_from || *time >= *m_from) && (!m_to || *time < *m_to);
}

std::optional<std::int64_t> DateFilter::timeOf(const WalkedFile& file) const {
    switch (m_basis) {
    case DateOption::optAccessDate: return file.atime;
    case DateOption::optCreationDate: return file.btime;
    case DateOption::optModifyDate:
    case DateOption::None: break;
    }
    return file.mtime;
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
    const std::optional<std::int64_t> time = timeOf(file);
    return time ? PackedDate::packTime(*time) : 0;
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
