#include "fileops/file_move.h"

#include "fileops/destination_folders.h"
#include "fileops/file_copy.h"
#include "fileops/listed_file.h"
#include "fileops/row_selection.h"
#include "fsview/local_path.h"
#include "reports/cell_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <ctime>
#include <future>
#include <map>
#include <set>

namespace {

using Problem = ListedFile::Problem;
using InodeKey = std::pair<std::uint64_t, std::uint64_t>;

InodeKey keyOf(const struct stat& st) {
    return {std::uint64_t(st.st_dev), std::uint64_t(st.st_ino)};
}

// One operation's state: the options, the counts, the folders on both
// sides, what this move created and the keep-showing answer.
struct Operation {
    ReportEnv& env;
    const MoveOptions& options;
    OperationsLog& log;
    ListingAccess access;
    DestinationFolders destinations;
    MoveCounts counts;
    bool keepShowing = true;
    std::set<InodeKey> created;           // files this move put in place
    std::map<InodeKey, UniqueFd> copies;  // a copied source with other names: its copy, to link them to
    std::set<InodeKey> swept;             // destination folders cleared of what killed moves left
    QList<qsizetype> movedRows;
};

// One file's move: the listed file, where it goes, and whether that
// replaced a file there.
struct OneMove {
    ListedFile& file;
    int folder = -1;         // the destination folder
    QString destination;     // as the log names it
    bool replaces = false;
};

Problem refused(const QString& why) {
    return {0, why};
}

// What is at the destination name decides whether the move may go on.
std::optional<Problem> checkDestination(Operation& op, OneMove& move) {
    struct stat there {};
    if (::fstatat(move.folder, move.file.name().constData(), &there, AT_SYMLINK_NOFOLLOW) != 0)
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

// Renames without replacing what is there unless told to; where the file
// system cannot refuse in the rename itself, a hard link does it.
int renameSafely(int fromDir, const char* from, int toDir, const char* to, bool overwrite) {
    if (overwrite)
        return ::renameat(fromDir, from, toDir, to);
    if (::renameat2(fromDir, from, toDir, to, RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return -1;
    if (::linkat(fromDir, from, toDir, to, 0) != 0)
        return -1;
    return ::unlinkat(fromDir, from, 0);
}

bool stopped(const MoveOptions& options) {
    return options.stop && options.stop->load();
}

QString megabytes(std::uint64_t bytes) {
    return CellFormat::formatNumber(double(bytes) / 1048576.0, QStringLiteral("###,###,##0.0"));
}

// A large file is copied off the window's thread; meanwhile the window
// stays responsive, shows how far the copy is and can be told to stop.
CopyResult copyWatched(Operation& op, CopyRequest& request, const QString& path) {
    constexpr off_t kLarge = 8 << 20;
    if (request.sourceStat.st_size < kLarge)
        return copyFileInto(request);
    std::atomic<std::uint64_t> done{0};
    request.progress = [&done](std::uint64_t bytes) { done = bytes; };
    const QString total = megabytes(std::uint64_t(request.sourceStat.st_size));
    const auto show = [&] {
        op.env.host.setStatus(QStringLiteral("Moving %1: %2 of %3 MB").arg(path, megabytes(done), total));
        op.env.host.pollEvents();
    };
    show();
    if (stopped(op.options))
        return CopyResult{ECANCELED, {}};
    std::future<CopyResult> copy = std::async(std::launch::async, [&request] { return copyFileInto(request); });
    while (copy.wait_for(std::chrono::milliseconds(30)) != std::future_status::ready)
        show();
    return copy.get();
}

// The copy in place under the name: a new one, or a link to the copy of
// another name of the same file.
CopyResult placeCopy(Operation& op, OneMove& move, int source, const struct stat& st) {
    const auto earlier = op.copies.find(keyOf(st));
    if (earlier != op.copies.end())
        return linkCopyInto(earlier->second.get(), move.folder, move.file.name(), op.options.overwrite);
    CopyRequest request;
    request.source = source;
    request.sourceStat = st;
    request.destinationFolder = move.folder;
    request.name = move.file.name();
    request.overwrite = op.options.overwrite;
    request.cancel = op.options.stop;
    return copyWatched(op, request, move.file.path());
}

bool sameContentAndStatus(const struct stat& a, const struct stat& b) {
    return FileIdentity::of(a).difference(b).isEmpty();
}

// A move killed between linking its copy under a temporary name and
// renaming it over the file it replaces leaves that name: gone once a day old.
void sweep(Operation& op, int folder) {
    struct stat st {};
    if (!op.options.overwrite || ::fstat(folder, &st) != 0 || !op.swept.insert(keyOf(st)).second)
        return;
    removeStaleMoveTemporaries(folder, std::time(nullptr));
}

// Takes the copy away again, when it is still ours, so "not moved" is true.
void undoCopy(const OneMove& move, const UniqueFd& placed) {
    struct stat ours {};
    struct stat there {};
    if (::fstat(placed.get(), &ours) == 0 &&
        ::fstatat(move.folder, move.file.name().constData(), &there, AT_SYMLINK_NOFOLLOW) == 0 &&
        keyOf(ours) == keyOf(there))
        ::unlinkat(move.folder, move.file.name().constData(), 0);
}

// Across file systems: the checked source copied into place, then the
// source removed while it is still the file copied.
std::optional<Problem> moveAcross(Operation& op, OneMove& move) {
    ListedFile& file = move.file;
    const UniqueFd source(::openat(file.folder(), file.name().constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
    struct stat st {};
    if (!source.valid() || ::fstat(source.get(), &st) != 0)
        return Problem::ofErrno(errno);
    if (const std::optional<Problem> changed = file.check(st, op.access))
        return changed;
    sweep(op, move.folder);
    CopyResult copy = placeCopy(op, move, source.get(), st);
    if (copy.error != 0)
        return Problem::ofErrno(copy.error);
    struct stat now {};
    if (::fstatat(file.folder(), file.name().constData(), &now, AT_SYMLINK_NOFOLLOW) != 0 || keyOf(now) != keyOf(st) ||
        !sameContentAndStatus(st, now))
        return refused(file.path() + QStringLiteral(" changed while it was copied: it and the copy ") +
                       move.destination + QStringLiteral(" were both kept"));
    if (::unlinkat(file.folder(), file.name().constData(), 0) != 0) {
        const int error = errno;
        undoCopy(move, copy.placed);
        return Problem::ofErrno(error);
    }
    struct stat placed {};
    if (::fstat(copy.placed.get(), &placed) == 0)
        op.created.insert(keyOf(placed));
    if (st.st_nlink > 1) {
        if (::fstat(source.get(), &now) == 0)
            op.access.noteOwnChange(now);
        op.copies.emplace(keyOf(st), std::move(copy.placed));
    }
    return std::nullopt;
}

std::optional<Problem> moveFile(Operation& op, OneMove& move) {
    if (const std::optional<Problem> refusal = checkDestination(op, move))
        return refusal;
    ListedFile& file = move.file;
    const char* name = file.name().constData();
    if (renameSafely(file.folder(), name, move.folder, name, op.options.overwrite) != 0)
        return errno == EXDEV ? moveAcross(op, move) : Problem::ofErrno(errno);
    op.created.insert(keyOf(file.seen()));
    file.noteAct(op.access);
    return std::nullopt;
}

void notMoved(Operation& op, const QString& source, const QString& destination, const Problem& why) {
    ReportEnv& env = op.env;
    const QString error = why.error(QStringLiteral(" "));
    if (op.keepShowing)
        op.keepShowing = env.host.ask(QStringLiteral("Unable to move ") + source + QStringLiteral("; ") + error +
                                          QStringLiteral("\n\nContinue showing this message?"),
                                      QStringLiteral("Unable to move file"));
    ++op.counts.notMoved;
    env.host.setStatus(QStringLiteral("Unable to move ") + source);
    const QString& d = env.app.saveFileDelimiter;
    op.log.write(d + QStringLiteral(" Unable to move ") + source + QStringLiteral(" TO ") + destination + d +
                 QLatin1Char(' ') + error);
}

// The file found as listed, its folder made at the destination, then moved.
std::optional<Problem> findAndMove(Operation& op, OneMove& move) {
    if (std::optional<Problem> problem = move.file.find(op.access))
        return problem;
    const DestinationFolders::Folder folder = op.destinations.folderFor(*move.file.record()->folder);
    move.folder = folder.fd;
    move.destination = LocalPath::join(folder.display, QString::fromUtf8(move.file.name()));
    if (folder.fd < 0)
        return Problem::ofErrno(folder.error);
    return moveFile(op, move);
}

void subMoveFile(Operation& op, qsizetype row, int directoryCol, int fileCol) {
    ReportEnv& env = op.env;
    ListedFile file(env.grid, row, directoryCol, fileCol);
    OneMove move{file, -1, {}, false};
    move.destination = LocalPath::join(op.options.destination, env.grid.cell(row, fileCol));
    if (const std::optional<Problem> why = findAndMove(op, move)) {
        notMoved(op, file.path(), move.destination, *why);
        return;
    }
    op.movedRows.append(row);
    ++op.counts.moved;
    env.host.setStatus(QStringLiteral("Moved ") + file.path());
    op.log.write(QStringLiteral(", Moved ") + file.path() + QStringLiteral(" TO ") + move.destination);
    if (move.replaces)
        op.log.write(QStringLiteral(", Replaced ") + move.destination);
}

} // namespace

std::optional<MoveCounts> btnMoveFiles_Click(ReportEnv& env, const MoveOptions& options, OperationsLog& log) {
    ResultGrid& grid = env.grid;
    if (!RowSelection::confirmed(env.host, grid, QStringLiteral("Are you sure you want to move the selected file?"),
                                 QStringLiteral("Move File"),
                                 QStringLiteral("Are you sure you want to move the selected files?"),
                                 QStringLiteral("Move Files")))
        return std::nullopt;
    env.host.setBusy(true);
    const QList<qsizetype> rows = RowSelection::chosen(grid);
    const int directoryCol = grid.fcnFindColumn(QStringLiteral("Directory"));
    const int fileCol = grid.fcnFindColumn(QStringLiteral("File"));
    log.open();
    Operation op{env, options, log, ListingAccess(env.volumes), DestinationFolders(options.destination, options.preserve),
                 {}, true, {}, {}, {}, {}};
    for (auto row = rows.crbegin(); row != rows.crend() && !stopped(options); ++row)
        subMoveFile(op, *row, directoryCol, fileCol);
    RowSelection::removeDone(env, op.movedRows);
    env.host.message(QStringLiteral("Files Moved: ") + QString::number(op.counts.moved) +
                     QStringLiteral("\nFiles Not Moved: ") + QString::number(op.counts.notMoved));
    env.host.setBusy(false);
    RowSelection::closeLog(env.host, log);
    return op.counts;
}
