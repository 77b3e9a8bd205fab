#include "app/progress_line.h"

#include "reports/cell_format.h"

#include <QLocale>

namespace {

const QString kEllipsis = QStringLiteral("...");

// head, two blanks, tail; the tail loses its start when the line would not fit.
QString fitted(const QString& head, const QString& tail, int width) {
    const qsizetype room = qsizetype(width) - 1; // the last column would wrap on some terminals
    QString line = tail.isEmpty() ? head : head + QStringLiteral("  ") + tail;
    if (line.size() <= room) return line;
    const qsizetype tailRoom = room - head.size() - 2 - kEllipsis.size();
    if (tailRoom <= 0) return head.left(std::max<qsizetype>(room, 0));
    return head + QStringLiteral("  ") + kEllipsis + tail.right(tailRoom);
}

} // namespace

QString ProgressLine::elapsed(qint64 ms) {
    const qint64 seconds = ms / 1000;
    const QString secs = QStringLiteral("%1").arg(seconds % 60, 2, 10, QLatin1Char('0'));
    if (seconds < 3600) return QStringLiteral("%1:%2").arg(seconds / 60).arg(secs);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(secs);
}

QString ProgressLine::text(const RunState::Progress& progress, qint64 elapsedMs,
                           const QString& status, int width) {
    const bool walking =
        progress.directories > 0 || progress.files > 0 || !progress.directory.isEmpty();
    if (!walking) return fitted(elapsed(elapsedMs), status, width);
    const QLocale locale;
    const QString head = QStringLiteral("%1, %2, %3, %4")
                             .arg(CellFormat::counted(progress.directories, "directory", "directories"),
                                  CellFormat::counted(progress.files, "file", "files"),
                                  locale.formattedDataSize(qint64(progress.bytes), 1,
                                                           QLocale::DataSizeTraditionalFormat),
                                  elapsed(elapsedMs));
    return fitted(head, progress.directory.isEmpty() ? status : progress.directory, width);
}
