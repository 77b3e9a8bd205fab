#include "fileops/listed_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ListedFile::Problem ListedFile::Problem::ofErrno(int number) {
    return {number, QString::fromLocal8Bit(std::strerror(number))};
}

QString ListedFile::Problem::error(const QString& between) const {
    if (number == 0)
        return text;
    return QStringLiteral("Error:") + QString::number(number) + between + text;
}

namespace {

QString joined(const QString& directory, const QString& file) {
    return directory.endsWith(QLatin1Char('\\')) ? directory + file : directory + QLatin1Char('\\') + file;
}

} // namespace

ListedFile::ListedFile(const ResultGrid& grid, qsizetype row, int directoryCol, int fileCol)
    : m_path(joined(grid.cell(row, directoryCol), grid.cell(row, fileCol))), m_record(grid.sharedRecord(row)),
      m_row(row) {}

ListedFile::Problem ListedFile::changed(const QString& why) {
    return {0, QStringLiteral("it has changed since it was listed: ") + why};
}

std::optional<ListedFile::Problem> ListedFile::find(ListingAccess& access) {
    if (!m_record || !m_record->folder)
        return Problem{0, QStringLiteral("it was not listed as a file: only listed files are acted on")};
    const ListingAccess::Folder folder = access.open(*m_record->folder);
    if (folder.changed)
        return changed(QStringLiteral("its folder changed"));
    if (folder.fd < 0)
        return Problem::ofErrno(folder.error);
    if (::fstatat(folder.fd, m_record->name.constData(), &m_seen, AT_SYMLINK_NOFOLLOW) != 0)
        return Problem::ofErrno(errno);
    if (std::optional<Problem> problem = check(m_seen, access))
        return problem;
    m_folder = folder.fd;
    if (m_seen.st_nlink > 1) {
        // Held so its status can be read after its name is gone.
        m_pinned.reset(::openat(m_folder, m_record->name.constData(), O_PATH | O_NOFOLLOW | O_CLOEXEC));
        struct stat pinned {};
        if (!m_pinned.valid() || ::fstat(m_pinned.get(), &pinned) != 0 || !m_record->identity.sameInode(pinned))
            return changed(QStringLiteral("it was replaced by another file"));
    }
    return std::nullopt;
}

std::optional<ListedFile::Problem> ListedFile::check(const struct stat& st, const ListingAccess& access) const {
    const QString why = m_record->identity.difference(st, access.ownChange(m_record->identity));
    if (why.isEmpty())
        return std::nullopt;
    return changed(why);
}

QString ListedFile::heldDifference(const struct stat& st) const {
    // The rename that took it aside set its status-change time: st itself
    // stands for this program's own change. Nothing else may differ.
    const QString why = FileIdentity::of(m_seen).difference(st, &st);
    if (!why.isEmpty())
        return why;
    if (st.st_mode != m_seen.st_mode || st.st_uid != m_seen.st_uid || st.st_gid != m_seen.st_gid ||
        st.st_nlink != m_seen.st_nlink)
        return QStringLiteral("its permissions, owner or links changed");
    return {};
}

std::optional<ListedFile::Problem> ListedFile::checkHeld(const struct stat& st) const {
    const QString why = heldDifference(st);
    if (why.isEmpty())
        return std::nullopt;
    return changed(why);
}

void ListedFile::noteAct(ListingAccess& access) const {
    struct stat after {};
    if (m_pinned.valid() && ::fstat(m_pinned.get(), &after) == 0)
        access.noteOwnChange(after);
}
