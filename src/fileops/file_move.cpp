#include "fileops/file_move.h"

#include "fileops/listed_file.h"
#include "fileops/row_selection.h"
#include "fsview/unique_fd.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

namespace {

using Failure = ListedFile::Problem;

Failure failure(int number) {
    return {number, QString::fromLocal8Bit(std::strerror(number))};
}

// \USERS\BOB of \\FS1\VOL1\USERS\BOB, as a local relative path ("/USERS/BOB").
QString relativePath(const QString& directory) {
    const qsizetype server = directory.indexOf(QLatin1Char('\\'), 2);
    const qsizetype afterVolume = server < 0 ? -1 : directory.indexOf(QLatin1Char('\\'), server + 1);
    QString relative = afterVolume < 0 ? QStringLiteral("\\") : directory.mid(afterVolume);
    if (relative.size() > 1 && relative.endsWith(QLatin1Char('\\')))
        relative.chop(1);
    return relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
}

// Renames without replacing what is there unless told to; where the file
// system cannot refuse in the rename itself, a hard link does it.
int renameSafely(int fromDir, const char* from, const QByteArray& to, bool overwrite) {
    if (overwrite)
        return ::renameat(fromDir, from, AT_FDCWD, to.constData());
    if (::renameat2(fromDir, from, AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL)
        return -1;
    if (::linkat(fromDir, from, AT_FDCWD, to.constData(), 0) != 0)
        return -1;
    return ::unlinkat(fromDir, from, 0);
}

bool copyContent(int from, int to) {
    std::vector<char> buffer(1 << 20);
    for (;;) {
        const ssize_t got = ::read(from, buffer.data(), buffer.size());
        if (got == 0)
            return true;
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = ::write(to, buffer.data() + done, std::size_t(got - done));
            if (put < 0 && errno != EINTR)
                return false;
            done += std::max<ssize_t>(put, 0);
        }
    }
}

// The copy beside the destination, complete and on disk, with the source's
// mode, owner and times.
bool writeCopy(int source, const struct stat& st, int copy) {
    if (!copyContent(source, copy) || ::fsync(copy) != 0)
        return false;
    struct stat written {};
    if (::fstat(copy, &written) != 0 || written.st_size != st.st_size) {
        errno = EIO;
        return false;
    }
    if (::fchmod(copy, st.st_mode & 07777) != 0)
        return false;
    if (::geteuid() == 0 && ::fchown(copy, st.st_uid, st.st_gid) != 0)
        return false;
    const timespec times[2] = {st.st_atim, st.st_mtim};
    return ::futimens(copy, times) == 0;
}

// Across file systems: copy, then rename the copy into place, then remove
// the source; any failure removes the copy and leaves the source.
std::optional<Failure> moveAcross(const ListedFile& file, const QByteArray& destination, bool overwrite) {
    const UniqueFd source(::openat(file.folder(), file.name().constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!source.valid() || ::fstat(source.get(), &st) != 0)
        return failure(errno);
    const QByteArray folder = destination.left(destination.lastIndexOf('/') + 1);
    const QByteArray temporary =
        folder + ".quarvo-move-" + QByteArray::number(QRandomGenerator::global()->generate64(), 36);
    const UniqueFd copy(::open(temporary.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!copy.valid())
        return failure(errno);
    if (!writeCopy(source.get(), st, copy.get()) || renameSafely(AT_FDCWD, temporary.constData(), destination, overwrite) != 0) {
        const int number = errno;
        ::unlink(temporary.constData());
        return failure(number);
    }
    if (::unlinkat(file.folder(), file.name().constData(), 0) != 0)
        return failure(errno); // both are there now; nothing was lost
    return std::nullopt;
}

std::optional<Failure> moveFile(const ListedFile& file, const QByteArray& destination, bool overwrite) {
    if (renameSafely(file.folder(), file.name().constData(), destination, overwrite) == 0)
        return std::nullopt;
    if (errno != EXDEV)
        return failure(errno);
    return moveAcross(file, destination, overwrite);
}

// One operation's state: the options, the counts, the last folder made and
// the keep-showing answer.
struct Operation {
    ReportEnv& env;
    const MoveOptions& options;
    OperationsLog& log;
    MoveCounts counts;
    QString lastRelative;
    bool keepShowing = true;
    ListedFolder folder;
    QList<qsizetype> movedRows;
};

QString destinationFolder(Operation& op, const QString& directory) {
    QString base = op.options.destination;
    if (base.endsWith(QLatin1Char('/')) && base.size() > 1)
        base.chop(1);
    if (!op.options.preserve)
        return base;
    const QString relative = relativePath(directory);
    if (relative != op.lastRelative) {
        op.lastRelative = relative;
        QDir().mkpath(base + relative); // one that cannot be made makes the move fail, reported there
    }
    return relative == QLatin1String("/") ? base : base + relative;
}

void notMoved(Operation& op, const QString& source, const QString& destination, const Failure& why) {
    ReportEnv& env = op.env;
    const QString error = QStringLiteral("Error:") + QString::number(why.number) + QLatin1Char(' ') + why.text;
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

void subMoveFile(Operation& op, qsizetype row, int directoryCol, int fileCol) {
    ReportEnv& env = op.env;
    ListedFile file(env.grid, row, directoryCol, fileCol);
    const QString folder = destinationFolder(op, env.grid.cell(row, directoryCol));
    const QString destination = folder + QLatin1Char('/') + env.grid.cell(row, fileCol);
    std::optional<Failure> why = file.find(env.volumes, op.folder);
    if (!why)
        why = moveFile(file, QFile::encodeName(folder) + '/' + file.name(), op.options.overwrite);
    if (why) {
        notMoved(op, file.path(), destination, *why);
        return;
    }
    op.movedRows.append(row);
    RowSelection::shorten(env.grid);
    ++op.counts.moved;
    env.host.setStatus(QStringLiteral("Moved ") + file.path());
    op.log.write(QStringLiteral(", Moved ") + file.path() + QStringLiteral(" TO ") + destination);
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
    RowSelection::order(grid);
    const int directoryCol = grid.fcnFindColumn(QStringLiteral("Directory"));
    const int fileCol = grid.fcnFindColumn(QStringLiteral("File"));
    log.open();
    Operation op{env, options, log, {}, {}, true, {}, {}};
    for (qsizetype row = grid.RowSel; row >= grid.Row && row >= 1; --row)
        subMoveFile(op, row, directoryCol, fileCol);
    grid.removeRows(op.movedRows);
    env.host.message(QStringLiteral("Files Moved: ") + QString::number(op.counts.moved) +
                     QStringLiteral("\nFiles Not Moved: ") + QString::number(op.counts.notMoved));
    env.host.setBusy(false);
    RowSelection::closeLog(env.host, log);
    return op.counts;
}
