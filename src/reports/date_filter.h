#pragma once

#include "fsview/ordered_walk.h"
#include "settings/search_settings.h"

#include <QDate>
#include <QString>

#include <cstdint>
#include <optional>

// A packed date as the system's short date, with roll-over for day or month 0.
QString fcnGetDate(std::uint32_t packedDate);

// Days from 1 January 1990 to the date: the sort key of file rows.
qint64 fcnDaysSince1990(const QDate& date);

// The Date tab's filter: which date of a file counts, and the comparison with
// the dates entered, in whole calendar days.
class DateFilter {
public:
    explicit DateFilter(const SearchSettings& search);

    // The packed date of the chosen basis: last access, else creation (the
    // birth time; 0 where it is not recorded), else modify.
    std::uint16_t packedDateOf(const WalkedFile& file) const;
    // "Older than": before S; "Newer than": after S; "Between": from the
    // earlier to the later of S and E, both included. Anything else, or a
    // date that cannot be read, keeps nothing.
    bool keeps(const QDate& date) const;
    // The same for a packed date, without decoding it where the dates
    // entered can be packed too (packed dates order as their dates do).
    bool keepsPacked(std::uint16_t packed) const;
    // keepsPacked(packedDateOf(file)), without the calendar for a time more
    // than two days from every edge of the dates entered: the local date
    // only moves forward with time, give or take an hour of daylight saving.
    bool keepsFile(const WalkedFile& file) const;

private:
    // The time of the chosen basis; none where the birth time is not recorded.
    std::optional<std::int64_t> timeOf(const WalkedFile& file) const;
    void findEdges();


    DateOption m_basis;
    QString m_comparison;
    QDate m_selected;
    QDate m_end;
    std::uint16_t m_selectedPacked = 0; // 0: not packable, compare decoded dates
    std::uint16_t m_endPacked = 0;
    // The kept times lie from m_from (none: no lower edge) up to before m_to
    // (none: no upper edge). Unset when the dates cannot take the shortcut.
    bool m_edgesKnown = false;
    std::optional<std::int64_t> m_from;
    std::optional<std::int64_t> m_to;
};
