#include "fileops/file_delete.h"

#include "fileops/listed_file.h"
#include "fileops/row_selection.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

void reportFailure(ReportEnv& env, OperationsLog& log, const QString& path, int number, const QString& text) {
    const QString error = QStringLiteral("Error:") + QString::number(number);
    env.host.setStatus(QStringLiteral("Unable to delete ") + path + QStringLiteral("; ") + error +
                       QStringLiteral(" - ") + text);
    log.write(QStringLiteral("; Unable to delete ") + path + QStringLiteral("; ") + error + QStringLiteral("; ") +
              text);
    env.host.message(QStringLiteral("Unable to delete ") + path + QLatin1Char('\r') + error + QStringLiteral(" - ") +
                         text,
                     QStringLiteral("Unable to delete file"));
}

// Deletes row's file when it is still the listed one; true when it is gone.
bool deleteRow(ReportEnv& env, OperationsLog& log, ListedFolder& folder, qsizetype row, int directoryCol,
               int fileCol) {
    ListedFile file(env.grid, row, directoryCol, fileCol);
    if (const std::optional<ListedFile::Problem> problem = file.find(env.volumes, folder)) {
        reportFailure(env, log, file.path(), problem->number, problem->text);
        return false;
    }
    if (::unlinkat(file.folder(), file.name().constData(), 0) != 0) {
        const int number = errno;
        reportFailure(env, log, file.path(), number, QString::fromLocal8Bit(std::strerror(number)));
        return false;
    }
    env.host.setStatus(QStringLiteral("Deleted ") + file.path());
    log.write(QStringLiteral(", Deleted ") + file.path());
    return true;
}

} // namespace

qint64 Menu_Popup_Delete_Click(ReportEnv& env, int directoryCol, int fileCol, OperationsLog& log) {
    ResultGrid& grid = env.grid;
    if (!RowSelection::confirmed(env.host, grid, QStringLiteral("Are you sure you want to delete the selected file?"),
                                 QStringLiteral("Delete File"),
                                 QStringLiteral("Are you sure you want to delete the selected files?"),
                                 QStringLiteral("Delete Files")))
        return 0;
    RowSelection::order(grid);
    log.open();
    QList<qsizetype> deleted;
    ListedFolder folder;
    for (qsizetype row = grid.RowSel; row >= grid.Row && row >= 1; --row) {
        if (!deleteRow(env, log, folder, row, directoryCol, fileCol))
            continue;
        deleted.append(row);
        RowSelection::shorten(grid);
    }
    // The rows go in one pass: a long delete must not move the rows below
    // once for every file.
    grid.removeRows(deleted);
    RowSelection::closeLog(env.host, log);
    return deleted.size();
}
