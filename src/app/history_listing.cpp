#include "app/history_listing.h"

#include "app/command_line.h"
#include "history/history_store.h"
#include "reports/cell_format.h"

#include <QLocale>

#include <algorithm>
#include <iterator>

namespace HistoryListing {

namespace {

constexpr const char* kSwitches[] = {"/T=", "/S=", "/V=", "/F=", "/D="};

bool isListingSwitch(const QString& name) {
    return std::any_of(std::begin(kSwitches), std::end(kSwitches),
                       [&name](const char* known) { return name == QLatin1String(known); });
}

RunFilter filterOf(const QString& switches) {
    const CommandLine line(switches);
    if (!line.leadingText().isEmpty())
        throw CommandLineError(QStringLiteral("\"%1\" is not a switch.").arg(line.leadingText()));
    for (const CommandLine::Word& word : line.switchWords()) {
        const qsizetype equals = word.upper.indexOf(QLatin1Char('='));
        if (!isListingSwitch(word.upper.left(equals + 1)))
            throw CommandLineError(QStringLiteral("--history takes /T= /S= /V= /F= /D=, not %1.").arg(word.typed));
    }
    const auto value = [&line](const char* name) {
        return line.typedValue(QLatin1String(name)).value_or(QString()).trimmed();
    };
    RunFilter filter;
    filter.tree = value("/T=");
    filter.server = value("/S=");
    filter.volume = value("/V=");
    filter.kind = value("/F=");
    filter.place = value("/D=");
    return filter;
}

QString line(const StoredRun& run) {
    const QLocale locale;
    const QString total = run.totalBytes < 0 ? QString()
                                             : CellFormat::formatNumber(double(run.totalBytes) / 1048576.0,
                                                                        QStringLiteral("###,###,##0.00"));
    return QStringLiteral("%1  %2  %3  %4  %5  %6  %7")
        .arg(run.id, 6)
        .arg(run.started.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
        .arg(run.kind, -9)
        .arg(run.place)
        .arg(run.options.isEmpty() ? QStringLiteral("-") : run.options)
        .arg(locale.toString(run.rows), 8)
        .arg(total, 14);
}

} // namespace

QStringList lines(HistoryStore& store, const QString& switches, QString& error) {
    const RunFilter filter = filterOf(switches);
    const std::optional<QList<StoredRun>> runs = store.runs(filter, error);
    if (!runs)
        return {};
    QStringList out{QStringLiteral("   Run  Began                Kind       Place  Options      Rows      Total(MB)")};
    for (const StoredRun& run : *runs)
        out.append(line(run));
    return out;
}

} // namespace HistoryListing
