#include "fileops/listed_file.h"

#include "reports/cell_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

UniqueFd openFolder(const QByteArray& path) {
    return UniqueFd(::open(path.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
}

} // namespace

ListedFile::ListedFile(const ResultGrid& grid, qsizetype row, int directoryCol, int fileCol)
    : m_directory(grid.cell(row, directoryCol)), m_file(grid.cell(row, fileCol)),
      m_path(m_directory + QLatin1Char('\\') + m_file) {
    if (const int size = grid.fcnFindColumn(QStringLiteral("Size")); size != ResultGrid::kNotFound)
        m_size = CellFormat::numberValue(grid.cell(row, size));
    const int date = grid.fcnFindColumn(QStringLiteral("Date"));
    const int time = grid.fcnFindColumn(QStringLiteral("Time"));
    // Only the File layouts show the modify time; the Date layout shows its basis's day.
    if (date != ResultGrid::kNotFound && time != ResultGrid::kNotFound) {
        m_date = grid.cell(row, date).trimmed();
        m_time = grid.cell(row, time).trimmed();
    }
}

std::optional<ListedFile::Problem> ListedFile::find(const VolumeView& volumes, ListedFolder& folder) {
    struct stat st {};
    if (!statInFolder(volumes, folder, st) && !statResolved(volumes, st))
        return Problem{errno, QString::fromLocal8Bit(std::strerror(errno))};
    if (!matchesRow(st))
        return Problem{0, m_path + QStringLiteral(" has changed since it was listed")};
    return std::nullopt;
}

// The name as the row writes it, in the folder the rows name.
bool ListedFile::statInFolder(const VolumeView& volumes, ListedFolder& folder, struct stat& st) {
    if (folder.directory != m_directory || !folder.fd.valid()) {
        folder.directory = m_directory;
        const VolumeView::Resolved resolved = volumes.resolve(m_directory);
        folder.fd = resolved.ok() ? openFolder(resolved.path) : UniqueFd();
    }
    m_name = m_file.toUtf8();
    if (!folder.fd.valid() || m_name.contains('/') ||
        ::fstatat(folder.fd.get(), m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    m_folder = folder.fd.get();
    return true;
}

// Otherwise the whole path looked up as the volume view does, any case.
bool ListedFile::statResolved(const VolumeView& volumes, struct stat& st) {
    const VolumeView::Resolved file = volumes.resolve(m_path);
    if (!file.ok()) {
        errno = ENOENT;
        return false;
    }
    const qsizetype slash = file.path.lastIndexOf('/');
    m_name = file.path.mid(slash + 1);
    m_ownFolder = openFolder(slash > 0 ? file.path.left(slash) : QByteArray("/"));
    if (!m_ownFolder.valid() || ::fstatat(m_ownFolder.get(), m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return false;
    m_folder = m_ownFolder.get();
    return true;
}

bool ListedFile::matchesRow(const struct stat& st) const {
    if (!S_ISREG(st.st_mode))
        return false;
    if (m_size && *m_size != double(st.st_size))
        return false;
    if (m_date.isEmpty())
        return true;
    const CellFormat::LocalTime modified = CellFormat::localTime(st.st_mtim.tv_sec);
    return CellFormat::shortDate(modified.date) == m_date && CellFormat::mediumTime(modified.time) == m_time;
}
