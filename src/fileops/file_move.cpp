#include "fileops/file_move.h"

#include "fileops/destination_folders.h"
#include "fileops/file_copy.h"
#include "fileops/folder_recovery.h"
#include "fileops/held_file.h"
#include "fileops/listed_file.h"
#include "fileops/log_paths.h"
#include "fileops/log_text.h"
#include "fileops/operation_worker.h"
#include "fileops/row_selection.h"
#include "fsview/local_path.h"
#include "fsview/name_bytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <map>
#include <set>

namespace {

using Problem = ListedFile::Problem;
using InodeKey = std::pair<std::uint64_t, std::uint64_t>;

InodeKey keyOf(const struct stat& st) {
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

// One operation's state on the worker: the options, the counts, the
// folders on both sides, what this move created. The keep-showing answer
// lives on the window's thread.
struct Moving {
    ReportEnv& env;
    const MoveOptions& options;
    OperationsLog& log;
    OperationWorker& worker;
    ListingAccess access;
    DestinationFolders destinations;
    FolderRecovery recovery;            // of the source folders
    FolderRecovery destinationRecovery; // of the destination folders
    LogPaths paths;
    MoveCounts counts;
    bool keepShowing = true;
    std::set<InodeKey> created;          // files this move put in place
    std::map<InodeKey, UniqueFd> copies; // a copied source with other names: its copy, to link them to
    QList<qsizetype> movedRows;
    std::atomic<std::uint64_t> copying{0}; // how far the copy under way is
};

// One file's move: the listed file, where it goes, and the file of that
// name it replaces, set aside until the move is certain.
struct OneMove {
    ListedFile& file;
    DestinationFolders::Folder folder;
    QString destination; // as the status and messages name it
    bool replaces = false;
    HeldFile replaced;
};

Problem refused(const QString& why) {
    return {0, why};
}

QString sourceLogPath(Moving& op, const ListedFile& file, const QByteArray& name) {
    return op.paths.volumePath(*file.record()->folder, name);
}

QString destinationLogPath(const Moving& op, const OneMove& move, const QByteArray& name) {
    return LogText::localPath(op.destinations.base(), move.folder.components, name, op.env.app.saveFileDelimiter);
}

void writeLines(Moving& op, const QStringList& lines) {
    for (const QString& line : lines)
        op.log.write(line);
}

// What killed operations left in either folder, given back or reported.
void recover(Moving& op, const OneMove& move) {
    const ListedFile& file = move.file;
    const ListedFolderNode* listed = file.record()->folder.get();
    const auto inSource = [&](const QByteArray& name) { return sourceLogPath(op, file, name); };
    writeLines(op, FolderRecovery::logLines(op.recovery.sweep(file.folder(), listed), inSource));
    // Without the structure every file goes to the one destination folder.
    const void* destination = op.options.preserve ? static_cast<const void*>(listed) : &op.destinations;
    const auto inDestination = [&](const QByteArray& name) { return destinationLogPath(op, move, name); };
    writeLines(op, FolderRecovery::logLines(op.destinationRecovery.sweep(move.folder.fd, destination), inDestination));
}

// What is at the destination name decides whether the move may go on.
std::optional<Problem> checkDestination(Moving& op, OneMove& move) {
    struct stat there {};
    if (::fstatat(move.folder.fd, move.file.name().constData(), &there, AT_SYMLINK_NOFOLLOW) != 0)
        return std::nullopt;
    if (keyOf(there) == keyOf(move.file.seen()))
        return refused(move.destination + QStringLiteral(" is the file itself"));
    if (op.created.count(keyOf(there)))
        return refused(QStringLiteral("will not overwrite a file this move just created: ") + move.destination);
    if (!op.options.overwrite)
        return Problem::ofErrno(EEXIST);
    move.replaces = true;
    return std::nullopt;
}

// The file to replace, set aside under a private name; gone meanwhile is
// nothing to replace.
int setAsideReplaced(OneMove& move) {
    if (!move.replaces)
        return 0;
    const int error = move.replaced.take(move.folder.fd, move.file.name());
    if (error == ENOENT)
        move.replaces = false;
    return error == ENOENT ? 0 : error;
}

// The move is certain: the replaced file goes for good.
void dropReplaced(Moving& op, OneMove& move) {
    if (!move.replaced.held())
        return;
    const int error = move.replaced.remove();
    if (error == 0)
        return;
    // Beside the moved file, under a name anyone can see.
    QByteArray keptAs;
    move.replaced.restore(&keptAs);
    op.log.write(QStringLiteral("; Unable to remove the replaced file, kept as ") +
                 destinationLogPath(op, move, keptAs.isEmpty() ? move.replaced.privateName() : keptAs) +
                 QStringLiteral("; Error:") + QString::number(error) + QStringLiteral("; ") +
                 QString::fromLocal8Bit(std::strerror(error)));
}

// Within one file system: the held source renamed into place.
std::optional<Problem> moveWithin(Moving& op, OneMove& move, HeldFile& source, bool& acrossDevices) {
    if (const int error = setAsideReplaced(move))
        return Problem::ofErrno(error);
    const int error = source.moveTo(move.folder.fd, move.file.name());
    if (error == EXDEV) {
        acrossDevices = true;
        return std::nullopt;
    }
    if (error != 0)
        return Problem::ofErrno(error);
    op.created.insert(keyOf(move.file.seen()));
    return std::nullopt;
}

// Takes the copy away again, when it is still ours, so "not moved" is true.
void undoCopy(const OneMove& move, const UniqueFd& placed) {
    struct stat ours {};
    struct stat there {};
    if (::fstat(placed.get(), &ours) == 0 &&
        ::fstatat(move.folder.fd, move.file.name().constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        keyOf(ours) == keyOf(there))
        ::unlinkat(move.folder.fd, move.file.name().constData(), 0);
}

// The copy in place under the name: a new one, or a link to the copy of
// another name of the same file. The replaced file is set aside only once
// the copy is ready, so its name is empty for a moment, never for a copy.
CopyResult placeCopy(Moving& op, OneMove& move, int source, const struct stat& st) {
    const auto earlier = op.copies.find(keyOf(st));
    if (earlier != op.copies.end()) {
        if (const int error = setAsideReplaced(move))
            return CopyResult{error, {}};
        return linkCopyInto(earlier->second.get(), move.folder.fd, move.file.name());
    }
    CopyRequest request;
    request.source = source;
    request.sourceStat = st;
    request.destinationFolder = move.folder.fd;
    request.name = move.file.name();
    request.beforePlacing = [&move] { return setAsideReplaced(move); };
    request.progress = [&op](std::uint64_t bytes) { op.copying = bytes; };
    request.cancel = op.options.stop;
    CopyResult copy = copyFileInto(request);
    op.copying = 0;
    return copy;
}

// The source, taken aside, still the file copied, removed; on any failure
// the source keeps its name and the copy is taken back.
std::optional<Problem> removeCopiedSource(Moving& op, OneMove& move, const UniqueFd& placed) {
    ListedFile& file = move.file;
    if (op.options.beforeAct)
        op.options.beforeAct(file.name());
    HeldFile source;
    std::optional<Problem> problem;
    struct stat now {};
    if (const int error = source.take(file.folder(), file.name()))
        problem = Problem::ofErrno(error);
    else if (const int statError = source.stat(now))
        problem = Problem::ofErrno(statError);
    else if (const QString why = file.heldDifference(now); !why.isEmpty())
        problem = refused(QStringLiteral("it changed while it was copied: ") + why);
    else if (const int removeError = source.remove())
        problem = Problem::ofErrno(removeError);
    if (!problem)
        return std::nullopt;
    undoCopy(move, placed);
    if (source.held())
        problem = RowSelection::putBack(source, *problem, file.path());
    return problem;
}

// Across file systems: the checked source copied into place, then the
// source removed while it is still the file copied.
std::optional<Problem> moveAcross(Moving& op, OneMove& move) {
    ListedFile& file = move.file;
    const UniqueFd source(
        ::openat(file.folder(), file.name().constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!source.valid() || ::fstat(source.get(), &st) != 0)
        return Problem::ofErrno(errno);
    if (std::optional<Problem> changed = file.check(st, op.access))
        return changed;
    CopyResult copy = placeCopy(op, move, source.get(), st);
    if (copy.error != 0)
        return Problem::ofErrno(copy.error);
    if (std::optional<Problem> problem = removeCopiedSource(op, move, copy.placed))
        return problem;
    struct stat placed {};
    if (::fstat(copy.placed.get(), &placed) == 0)
        op.created.insert(keyOf(placed));
    if (st.st_nlink > 1) {
        struct stat now {};
        if (::fstat(source.get(), &now) == 0)
            op.access.noteOwnChange(now);
        op.copies.emplace(keyOf(st), std::move(copy.placed));
    }
    return std::nullopt;
}

bool knownAcross(const OneMove& move) {
    struct stat folder {};
    return ::fstat(move.folder.fd, &folder) == 0 && folder.st_dev != move.file.seen().st_dev;
}

// The source taken aside and checked, then renamed into place; across file
// systems it goes back under its name to be copied.
std::optional<Problem> moveFile(Moving& op, OneMove& move) {
    ListedFile& file = move.file;
    if (knownAcross(move))
        return moveAcross(op, move);
    HeldFile source;
    if (std::optional<Problem> problem = RowSelection::takeAside(file, source))
        return problem;
    bool acrossDevices = false;
    std::optional<Problem> problem = moveWithin(op, move, source, acrossDevices);
    if (source.held()) {
        move.replaced.restore();
        if (problem)
            return RowSelection::putBack(source, *problem, file.path());
        if (const int error = source.restore())
            return Problem::ofErrno(error);
    }
    if (acrossDevices)
        return moveAcross(op, move);
    if (!problem)
        file.noteAct(op.access);
    return problem;
}

void notMoved(Moving& op, const OneMove& move, const Problem& why) {
    ++op.counts.notMoved;
    const QString& d = op.env.app.saveFileDelimiter;
    const QString error = why.error(QStringLiteral(" "));
    op.log.write(d + QStringLiteral(" Unable to move ") + sourceLogPath(op, move.file, move.file.name()) +
                 QStringLiteral(" TO ") + destinationLogPath(op, move, move.file.name()) + d + QLatin1Char(' ') +
                 error);
    if (why.number == ECANCELED)
        return op.worker.postStatus(QStringLiteral("Unable to move ") + move.file.path()); // Stop was pressed: no question
    op.worker.post([&op, source = move.file.path(), error] {
        Host& host = op.env.host;
        if (op.keepShowing)
            op.keepShowing = host.ask(QStringLiteral("Unable to move ") + source + QStringLiteral("; ") + error +
                                          QStringLiteral("\n\nContinue showing this message?"),
                                      QStringLiteral("Unable to move file"));
    });
    op.worker.postStatus(QStringLiteral("Unable to move ") + move.file.path());
}

void moved(Moving& op, OneMove& move) {
    ++op.counts.moved;
    op.movedRows.append(move.file.row());
    const QString destination = destinationLogPath(op, move, move.file.name());
    op.log.write(QStringLiteral(", Moved ") + sourceLogPath(op, move.file, move.file.name()) + QStringLiteral(" TO ") +
                 destination);
    if (move.replaced.held()) {
        dropReplaced(op, move);
        op.log.write(QStringLiteral(", Replaced ") + destination);
    }
    op.worker.postStatus(QStringLiteral("Moved "), move.file.path());
}

// The file found as listed, its folder made at the destination, then moved.
std::optional<Problem> findAndMove(Moving& op, OneMove& move) {
    if (std::optional<Problem> problem = move.file.find(op.access))
        return problem;
    move.folder = op.destinations.folderFor(*move.file.record()->folder);
    move.destination = LocalPath::join(move.folder.display, NameBytes::decode(move.file.name()));
    if (move.folder.fd < 0)
        return Problem::ofErrno(move.folder.error);
    recover(op, move);
    if (std::optional<Problem> refusal = checkDestination(op, move))
        return refusal;
    if (op.options.beforeAct)
        op.options.beforeAct(move.file.name());
    return moveFile(op, move);
}

void subMoveFile(Moving& op, ListedFile& file) {
    OneMove move{file, {}, {}, false, {}};
    move.folder.display = op.destinations.base();
    if (const std::optional<Problem> why = findAndMove(op, move)) {
        move.replaced.restore();
        notMoved(op, move, *why);
        return;
    }
    moved(op, move);
}

} // namespace

std::optional<MoveCounts> btnMoveFiles_Click(ReportEnv& env, const MoveOptions& options, OperationsLog& log) {
    ResultGrid& grid = env.grid;
    const int directoryCol = grid.fcnFindColumn(QStringLiteral("Directory"));
    const int fileCol = grid.fcnFindColumn(QStringLiteral("File"));
    const QList<qsizetype> chosenRows = RowSelection::chosen(grid);
    if (!RowSelection::confirmed(env.host, grid, chosenRows, directoryCol, fileCol,
                                 {QStringLiteral("Are you sure you want to move the selected file?"),
                                  QStringLiteral("Move File"),
                                  QStringLiteral("Are you sure you want to move the selected files?"),
                                  QStringLiteral("Move Files"), options.destination}))
        return std::nullopt;
    env.host.setBusy(true);
    std::vector<ListedFile> files = RowSelection::listedFiles(grid, chosenRows, directoryCol, fileCol);
    log.open();
    OperationWorker worker(env.host, options.stop);
    Moving op{env,
              options,
              log,
              worker,
              ListingAccess(env.volumes),
              DestinationFolders(options.destination, options.preserve),
              {},
              {},
              LogPaths(env.app.saveFileDelimiter)};
    worker.runFiles(files, QStringLiteral("Moving"), [&op](ListedFile& file) { subMoveFile(op, file); }, &op.copying);
    RowSelection::removeDone(env, chosenRows, op.movedRows);
    env.host.message(QStringLiteral("Files Moved: ") + QString::number(op.counts.moved) +
                     QStringLiteral("\nFiles Not Moved: ") + QString::number(op.counts.notMoved));
    env.host.setBusy(false);
    RowSelection::closeLog(env.host, log);
    return op.counts;
}
