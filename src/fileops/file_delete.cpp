#include "fileops/file_delete.h"

#include "fileops/listed_file.h"
#include "fileops/row_selection.h"

#include <unistd.h>

#include <cerrno>

namespace {

using Problem = ListedFile::Problem;

void reportFailure(ReportEnv& env, OperationsLog& log, const QString& path, const Problem& why) {
    env.host.setStatus(QStringLiteral("Unable to delete ") + path + QStringLiteral("; ") +
                       why.error(QStringLiteral(" - ")));
    log.write(QStringLiteral("; Unable to delete ") + path + QStringLiteral("; ") + why.error(QStringLiteral("; ")));
    env.host.message(QStringLiteral("Unable to delete ") + path + QLatin1Char('\r') + why.error(QStringLiteral(" - ")),
                     QStringLiteral("Unable to delete file"));
}

// Deletes row's file when it is still the listed one; true when it is gone.
bool deleteRow(ReportEnv& env, OperationsLog& log, ListingAccess& access, qsizetype row, int directoryCol,
               int fileCol) {
    ListedFile file(env.grid, row, directoryCol, fileCol);
    if (const std::optional<Problem> problem = file.find(access)) {
        reportFailure(env, log, file.path(), *problem);
        return false;
    }
    if (::unlinkat(file.folder(), file.name().constData(), 0) != 0) {
        reportFailure(env, log, file.path(), Problem::ofErrno(errno));
        return false;
    }
    file.noteAct(access);
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
    const QList<qsizetype> rows = RowSelection::chosen(grid);
    log.open();
    QList<qsizetype> deleted;
    ListingAccess access(env.volumes);
    // Bottom up, as the rows were listed in reverse: each folder's rows follow each other.
    for (auto row = rows.crbegin(); row != rows.crend(); ++row) {
        if (deleteRow(env, log, access, *row, directoryCol, fileCol))
            deleted.append(*row);
    }
    // The rows go in one pass: a long delete must not move the rows below
    // once for every file.
    RowSelection::removeDone(env, deleted);
    RowSelection::closeLog(env.host, log);
    return deleted.size();
}
