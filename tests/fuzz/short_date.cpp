// Dates typed for /OLDERTHAN=, /NEWERTHAN= and /BETWEEN=, in three locales
// whose short dates put the fields in different orders (month first, day
// first, year first). A date that is accepted is after year 0, and the date
// written in the locale's short form reads back as the same date; an ISO
// 8601 date reads the same in every locale.
#include "reports/cell_format.h"

#include <QDate>
#include <QLocale>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

[[noreturn]] void fail(const char* what, const QString& text, const QDate& date,
                       const QString& shown = {}) {
    std::fprintf(stderr, "%s: \"%s\" in %s read as %s (shown as \"%s\")\n", what,
                 text.toUtf8().constData(), QLocale().name().toUtf8().constData(),
                 date.toString(Qt::ISODate).toUtf8().constData(), shown.toUtf8().constData());
    std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const QDate iso = QDate::fromString(text.trimmed(), Qt::ISODate);
    for (const char* locale : {"en_US", "de_DE", "ja_JP"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        const QDate date = CellFormat::parseShortDate(text);
        if (iso.isValid() && iso.year() > 0 && date != iso)
            fail("an ISO date read otherwise", text, date);
        if (!date.isValid())
            continue;
        if (date.year() < 1)
            fail("a date before year 1 accepted", text, date);
        const QString shown = CellFormat::shortDate(date);
        if (CellFormat::parseShortDate(shown) != date)
            fail("the short date does not read back", text, date, shown);
    }
    return 0;
}
