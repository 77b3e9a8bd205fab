#include "fileops/folder_recovery.h"

#include "fileops/file_copy.h"
#include "fileops/held_file.h"

#include "fsview/dirent_records.h"
#include "fsview/unique_fd.h"

#include <sys/syscall.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// A process of the same number may have come since; it keeps its files
// held, and the operation that finds them later gives them back then.
bool isRunning(pid_t pid) {
    if (pid <= 0)
        return false; // left by an older version, which named no process
    return pid == ::getpid() || ::kill(pid, 0) == 0 || errno == EPERM;
}

// The names beginning ".quarvo-", read straight from the kernel: this runs
// once for every folder a delete or move touches.
QList<QByteArray> entriesOf(int folder) {
    QList<QByteArray> names;
    const UniqueFd fd(::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    alignas(DirentRecords::Head) char buffer[16384];
    for (long got = 0; fd.valid() && (got = ::syscall(SYS_getdents64, fd.get(), buffer, sizeof buffer)) > 0;) {
        for (long at = 0; at < got;) {
            const auto* head = reinterpret_cast<const DirentRecords::Head*>(buffer + at);
            const char* name = buffer + at + DirentRecords::kNameOffset;
            if (std::strncmp(name, ".quarvo-", 8) == 0)
                names.append(QByteArray(name));
            at += head->reclen;
        }
    }
    return names;
}

bool isRegularFile(int folder, const QByteArray& entry) {
    struct stat st {};
    return ::fstatat(folder, entry.constData(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode);
}

} // namespace

QList<FolderRecovery::Found> FolderRecovery::sweep(int folder, const void* listed) {
    QList<Found> found;
    if (listed && (listed == m_lastListed || !m_sweptListed.insert(listed).second))
        return found;
    m_lastListed = listed;
    struct stat st {};
    if (::fstat(folder, &st) != 0 || !m_swept.insert({st.st_dev, st.st_ino}).second)
        return found;
    for (const QByteArray& entry : entriesOf(folder)) {
        if (!isRegularFile(folder, entry))
            continue;
        if (const std::optional<HeldFile::Parsed> held = HeldFile::parse(entry)) {
            if (isRunning(held->pid))
                continue;
            Found back{Found::Kind::Restored, entry, held->name, 0};
            back.error = HeldFile::restoreName(folder, entry, held->name, &back.name);
            if (back.error != 0)
                back.kind = Found::Kind::NotRestored;
            found.append(back);
        } else if (const std::optional<pid_t> owner = copyTemporaryOwner(entry); owner && !isRunning(*owner)) {
            found.append({Found::Kind::Left, entry, {}, 0});
        }
    }
    return found;
}

QStringList FolderRecovery::logLines(const QList<Found>& found,
                                     const std::function<QString(const QByteArray&)>& pathOf) {
    QStringList lines;
    for (const Found& one : found) {
        const QString entry = pathOf(one.entry);
        switch (one.kind) {
        case Found::Kind::Restored:
            lines.append(QStringLiteral(", Restored ") + entry + QStringLiteral(" TO ") + pathOf(one.name));
            break;
        case Found::Kind::NotRestored:
            lines.append(QStringLiteral("; Unable to restore ") + entry + QStringLiteral("; Error:") +
                         QString::number(one.error) + QStringLiteral("; ") +
                         QString::fromLocal8Bit(std::strerror(one.error)));
            break;
        case Found::Kind::Left:
            lines.append(QStringLiteral("; Found ") + entry +
                         QStringLiteral(": a copy that a stopped move did not finish; left as it is"));
            break;
        }
    }
    return lines;
}
