#include "fileops/file_delete.h"

#include "fileops/folder_recovery.h"
#include "fileops/held_file.h"
#include "fileops/listed_file.h"
#include "fileops/log_paths.h"
#include "fileops/operation_worker.h"
#include "fileops/row_selection.h"

#include <cerrno>

namespace {

using Problem = ListedFile::Problem;

// One delete's state on the worker: what it reaches the files through,
// what it found left over, and how far it is.
struct Deletion {
    ReportEnv& env;
    const DeleteOptions& options;
    OperationsLog& log;
    OperationWorker& worker;
    ListingAccess access;
    FolderRecovery recovery;
    LogPaths paths;
    QList<qsizetype> deleted;
};

QString logPath(Deletion& op, const ListedFile& file, const QByteArray& name) {
    return op.paths.volumePath(*file.record()->folder, name);
}

void reportFailure(Deletion& op, const ListedFile& file, const Problem& why) {
    op.log.write(QStringLiteral("; Unable to delete ") + logPath(op, file, file.name()) + QStringLiteral("; ") +
                 why.error(QStringLiteral("; ")));
    op.worker.postStatus(QStringLiteral("Unable to delete ") + file.path() + QStringLiteral("; ") +
                         why.error(QStringLiteral(" - ")));
    op.worker.post([&host = op.env.host, path = file.path(), why] {
        host.message(QStringLiteral("Unable to delete ") + path + QLatin1Char('\r') + why.error(QStringLiteral(" - ")),
                     QStringLiteral("Unable to delete file"));
    });
}

// What killed operations left in the file's folder, given back or reported.
void recover(Deletion& op, const ListedFile& file) {
    const QList<FolderRecovery::Found> found = op.recovery.sweep(file.folder(), file.record()->folder.get());
    for (const QString& line :
         FolderRecovery::logLines(found, [&](const QByteArray& name) { return logPath(op, file, name); }))
        op.log.write(line);
}

// The name taken aside, what it held checked, then removed; anything else
// goes back under its name.
std::optional<Problem> deleteFile(Deletion& op, ListedFile& file) {
    if (std::optional<Problem> problem = file.find(op.access))
        return problem;
    recover(op, file);
    if (op.options.beforeAct)
        op.options.beforeAct(file.name());
    HeldFile held;
    if (std::optional<Problem> problem = RowSelection::takeAside(file, held))
        return problem;
    if (const int error = held.remove())
        return Problem::ofErrno(error);
    file.noteAct(op.access);
    return std::nullopt;
}

void deleteRow(Deletion& op, ListedFile& file) {
    if (const std::optional<Problem> problem = deleteFile(op, file)) {
        reportFailure(op, file, *problem);
        return;
    }
    op.deleted.append(file.row());
    op.log.write(QByteArrayLiteral(", Deleted ") + op.paths.volumePathUtf8(*file.record()->folder, file.name()));
    op.worker.postStatus(QStringLiteral("Deleted "), file.path());
}

} // namespace

qint64 Menu_Popup_Delete_Click(ReportEnv& env, int directoryCol, int fileCol, OperationsLog& log,
                               const DeleteOptions& options) {
    ResultGrid& grid = env.grid;
    const QList<qsizetype> chosenRows = RowSelection::chosen(grid);
    if (!RowSelection::confirmed(env.host, grid, chosenRows, directoryCol, fileCol,
                                 {QStringLiteral("Are you sure you want to delete the selected file?"),
                                  QStringLiteral("Delete File"),
                                  QStringLiteral("Are you sure you want to delete the selected files?"),
                                  QStringLiteral("Delete Files"), QString()}))
        return 0;
    // Bottom up, as the rows were listed in reverse: each folder's rows follow each other.
    if (options.started)
        options.started();
    std::vector<ListedFile> files = RowSelection::listedFiles(grid, chosenRows, directoryCol, fileCol);
    log.open();
    OperationWorker worker(env.host, options.stop);
    Deletion op{env, options, log, worker, ListingAccess(env.volumes), {}, LogPaths(env.app.saveFileDelimiter)};
    worker.runFiles(files, QStringLiteral("Deleting"), [&op](ListedFile& file) { deleteRow(op, file); });
    // The rows go in one pass: a long delete must not move the rows below
    // once for every file.
    RowSelection::removeDone(env, chosenRows, op.deleted);
    RowSelection::closeLog(env.host, log);
    return op.deleted.size();
}
