#include "fileops/listed_file.h"

#include "reports/cell_format.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ListedFile::ListedFile(const ResultGrid& grid, qsizetype row, int directoryCol, int fileCol)
    : m_path(grid.cell(row, directoryCol) + QLatin1Char('\\') + grid.cell(row, fileCol)) {
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

std::optional<ListedFile::Problem> ListedFile::find(const VolumeView& volumes) {
    const VolumeView::Resolved file = volumes.resolve(m_path);
    if (!file.ok())
        return Problem{ENOENT, file.error};
    const qsizetype slash = file.path.lastIndexOf('/');
    m_name = file.path.mid(slash + 1);
    const QByteArray folder = slash > 0 ? file.path.left(slash) : QByteArray("/");
    m_folder = UniqueFd(::open(folder.constData(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    struct stat st {};
    if (!m_folder.valid() || ::fstatat(m_folder.get(), m_name.constData(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Problem{errno, QString::fromLocal8Bit(std::strerror(errno))};
    if (!matchesRow(st))
        return Problem{0, m_path + QStringLiteral(" has changed since it was listed")};
    return std::nullopt;
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
