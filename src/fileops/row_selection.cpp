#include "fileops/row_selection.h"

#include "fsview/name_bytes.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"

#include <QLocale>

#include <cstring>

#include <algorithm>

namespace RowSelection {

QList<qsizetype> chosen(const ResultGrid& grid) {
    QList<qsizetype> rows;
    if (!grid.selectedRows.isEmpty()) {
        for (const qsizetype row : grid.selectedRows) {
            if (row >= 1 && row < grid.rows())
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end());
        rows.erase(std::unique(rows.begin(), rows.end()), rows.end());
        return rows;
    }
    const qsizetype top = std::max<qsizetype>(std::min(grid.Row, grid.RowSel), 1);
    const qsizetype bottom = std::min(std::max(grid.Row, grid.RowSel), grid.rows() - 1);
    for (qsizetype row = top; row <= bottom; ++row)
        rows.append(row);
    return rows;
}

std::vector<ListedFile> listedFiles(const ResultGrid& grid, const QList<qsizetype>& rows, int directoryCol,
                                    int fileCol) {
    std::vector<ListedFile> files;
    files.reserve(std::size_t(rows.size()));
    for (auto row = rows.crbegin(); row != rows.crend(); ++row)
        files.emplace_back(grid, *row, directoryCol, fileCol);
    return files;
}

std::uint64_t bytesOf(const std::vector<ListedFile>& files) {
    std::uint64_t bytes = 0;
    for (const ListedFile& file : files)
        bytes += file.listedSize();
    return bytes;
}

namespace {

QString megabytes(std::uint64_t bytes) {
    return CellFormat::formatNumber(double(bytes) / 1048576.0, QStringLiteral("###,###,##0.00"));
}

} // namespace

bool confirmed(Host& host, const ResultGrid& grid, const QList<qsizetype>& rows, int directoryCol, int fileCol,
               const Question& question) {
    if (rows.isEmpty())
        return false;
    std::uint64_t bytes = 0;
    for (const qsizetype row : rows)
        bytes += grid.record(row) ? grid.record(row)->identity.size : 0;
    const QString size = megabytes(bytes) + QStringLiteral(" MB");
    const QString first = ListedFile(grid, rows.first(), directoryCol, fileCol).path();
    QString what = rows.size() == 1 ? first + QStringLiteral(" (") + size + QLatin1Char(')')
                                    : QLocale().toString(qlonglong(rows.size())) + QStringLiteral(" files (") + size +
                                          QStringLiteral("), beginning with ") + first;
    if (!question.destination.isEmpty())
        what += QStringLiteral("\nto ") + question.destination;
    return rows.size() == 1 ? host.ask(question.one + QStringLiteral("\n\n") + what, question.oneTitle)
                            : host.ask(question.several + QStringLiteral("\n\n") + what, question.severalTitle);
}

QString progressText(const QString& doing, qint64 files, qint64 allFiles, std::uint64_t bytes,
                     std::uint64_t allBytes) {
    const QLocale locale;
    return QStringLiteral("%1: %2 of %3 files, %4 of %5 MB done")
        .arg(doing, locale.toString(files), locale.toString(allFiles), megabytes(bytes), megabytes(allBytes));
}

ListedFile::Problem putBack(HeldFile& held, const ListedFile::Problem& why, const QString& path) {
    ListedFile::Problem problem = why;
    QByteArray keptAs;
    const int error = held.restore(&keptAs);
    if (error != 0)
        problem.text += QStringLiteral("; it could not be given its name back (%1) and is kept as %2")
                            .arg(QString::fromLocal8Bit(std::strerror(error)), NameBytes::decode(held.privateName()));
    else if (!keptAs.isEmpty())
        problem.text += QStringLiteral("; another file took the name %1 meanwhile, so it is kept beside it as %2")
                            .arg(path, NameBytes::decode(keptAs));
    return problem;
}

std::optional<ListedFile::Problem> takeAside(ListedFile& file, HeldFile& held) {
    if (const int error = held.take(file.folder(), file.name()))
        return ListedFile::Problem::ofErrno(error);
    struct stat st {};
    if (const int error = held.stat(st))
        return ListedFile::Problem::ofErrno(error);
    if (std::optional<ListedFile::Problem> problem = file.checkHeld(st))
        return putBack(held, *problem, file.path());
    return std::nullopt;
}

// The rows of before that are not in done, renumbered as they will be once
// done's rows are gone.
QList<qsizetype> remaining(const QList<qsizetype>& before, QList<qsizetype> done) {
    std::sort(done.begin(), done.end());
    QList<qsizetype> kept;
    for (const qsizetype row : before) {
        const auto below = std::lower_bound(done.begin(), done.end(), row);
        if (below == done.end() || *below != row)
            kept.append(row - (below - done.begin()));
    }
    return kept;
}

void removeDone(ReportEnv& env, const QList<qsizetype>& chosenRows, const QList<qsizetype>& done) {
    ResultGrid& grid = env.grid;
    const QList<qsizetype> left = remaining(chosenRows, done);
    grid.removeRows(done);
    grid.selectedRows = left;
    // Nothing highlighted is nothing chosen: no row stands in for the selection.
    grid.Row = left.isEmpty() ? 0 : left.first();
    grid.RowSel = left.isEmpty() ? 0 : left.last();
    grid.Col = 0;
    if (done.isEmpty())
        return;
    double bytes = 0;
    for (qsizetype row = 1; row < grid.rows(); ++row) {
        if (const RowRecord* record = grid.record(row))
            bytes += double(record->identity.size);
    }
    env.run.sizeTotal = bytes;
    env.run.rowCounter = grid.rows();
    env.view.lblGraphStats = fcnTotalsLine(grid, bytes / 1048576.0);
}

void closeLog(Host& host, OperationsLog& log) {
    log.close();
    if (!log.failed())
        return;
    const QString why = QStringLiteral("The log %1 could not be written: %2").arg(log.path(), log.error());
    host.setStatus(why);
    host.message(why);
}

} // namespace RowSelection
