#include "reports/date_cells.h"

#include "reports/cell_format.h"

const QString& DateCells::date(const QDate& date) {
    const qint64 day = date.toJulianDay();
    auto found = m_dates.find(day);
    if (found == m_dates.end())
        found = m_dates.insert(day, CellFormat::shortDate(date));
    return *found;
}

const QString& DateCells::time(const QTime& time) {
    constexpr int kMinutesPerDay = 24 * 60;
    if (!time.isValid()) {
        m_invalidTime = CellFormat::mediumTime(time);
        return m_invalidTime;
    }
    if (m_times.empty())
        m_times.resize(kMinutesPerDay);
    QString& text = m_times[std::size_t(time.hour() * 60 + time.minute())];
    if (text.isNull())
        text = CellFormat::mediumTime(QTime(time.hour(), time.minute()));
    return text;
}
