#include "fileops/item_properties.h"

#include "fsview/name_bytes.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"

#include <QFile>

#include <fcntl.h>
#include <grp.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace ItemProperties {

namespace {

using Rows = QList<QPair<QString, QString>>;

QString bytesAndMegabytes(double bytes) {
    return CellFormat::formatNumber(bytes, QStringLiteral("###,###,###,###,##0")) + QStringLiteral(" bytes (") +
           CellFormat::formatNumber(bytes / 1048576.0, QStringLiteral("###,###,###,##0.00")) + QStringLiteral(" MB)");
}

QString when(std::int64_t seconds) {
    const CellFormat::LocalTime t = CellFormat::localTime(seconds);
    return CellFormat::shortDate(t.date) + QLatin1Char(' ') + CellFormat::longTime(t.time);
}

QString permissions(mode_t mode) {
    QString text;
    const char* letters = "rwxrwxrwx";
    for (int bit = 0; bit < 9; ++bit)
        text += (mode & (0400 >> bit)) ? QLatin1Char(letters[bit]) : QLatin1Char('-');
    return text + QStringLiteral(" (") + QString::number(mode & 07777, 8).rightJustified(4, QLatin1Char('0')) +
           QLatin1Char(')');
}

QString groupName(gid_t gid) {
    group entry {};
    group* found = nullptr;
    char buffer[4096];
    const QString name = ::getgrgid_r(gid, &entry, buffer, sizeof buffer, &found) == 0 && found
                             ? QString::fromLocal8Bit(found->gr_name)
                             : QString();
    return (name.isEmpty() ? QStringLiteral("(none)") : name) + QStringLiteral(" (gid ") + QString::number(gid) +
           QLatin1Char(')');
}

// The tree's user that owns the uid, as the file search names owners.
QString ownerName(ReportEnv& env, const QString& volumePath, uid_t uid) {
    const QString server = volumePath.mid(2).section(QLatin1Char('\\'), 0, 0);
    NWCONN_HANDLE connection = 0;
    env.client.NWAttachToFileServer(server, 0, connection);
    const NWDSContextHandle context = fcnOpenRunContext(env);
    QString name;
    if (env.client.NWDSMapIDToName(context, connection, env.client.creatorIdOfUid(connection, uid), name) !=
        nw::SUCCESSFUL)
        name.clear();
    env.client.NWDSFreeContext(context);
    return (name.isEmpty() ? QStringLiteral("[No Owner]") : name) + QStringLiteral(" (uid ") + QString::number(uid) +
           QLatin1Char(')');
}

// The mount that holds path: its mount point and file system type.
QPair<QString, QString> mountOf(const QByteArray& path) {
    QFile mounts(QStringLiteral("/proc/self/mounts"));
    QPair<QString, QString> best;
    qsizetype bestLength = -1;
    if (!mounts.open(QIODevice::ReadOnly))
        return best;
    for (const QByteArray& line : mounts.readAll().split('\n')) {
        const QList<QByteArray> fields = line.split(' ');
        if (fields.size() < 3)
            continue;
        const QByteArray point = QByteArray(fields[1]).replace("\\040", " ");
        const bool holds = path == point || point == "/" || path.startsWith(point + '/');
        if (holds && point.size() > bestLength) {
            bestLength = point.size();
            best = {QFile::decodeName(point), QString::fromLatin1(fields[2])};
        }
    }
    return best;
}

void addVolumeFigures(Rows& rows, const QByteArray& local) {
    struct statvfs vfs {};
    if (::statvfs(local.constData(), &vfs) != 0)
        return;
    const double unit = double(vfs.f_frsize);
    const double total = double(vfs.f_blocks) * unit;
    const double free = double(vfs.f_bavail) * unit;
    rows.append({QStringLiteral("Size"), bytesAndMegabytes(total)});
    rows.append({QStringLiteral("Used"), bytesAndMegabytes(total - double(vfs.f_bfree) * unit)});
    rows.append({QStringLiteral("Free"), bytesAndMegabytes(free)});
    const QPair<QString, QString> mount = mountOf(local);
    rows.append({QStringLiteral("File system"), mount.second});
    rows.append({QStringLiteral("Mount point"), mount.first});
}

} // namespace

Rows of(ReportEnv& env, const QString& volumePath, bool isVolume) {
    const VolumeView::Resolved item = env.volumes.resolve(volumePath);
    struct statx sx {};
    if (!item.ok() || ::statx(AT_FDCWD, item.path.constData(), AT_SYMLINK_NOFOLLOW,
                              STATX_BASIC_STATS | STATX_BTIME, &sx) != 0)
        return {{QStringLiteral("Volume path"), volumePath},
                {QStringLiteral("Unable to read"), item.ok() ? QString::fromLocal8Bit(std::strerror(errno)) : item.error}};
    const bool directory = S_ISDIR(sx.stx_mode);
    Rows rows{{QStringLiteral("Volume path"), item.display},
              {QStringLiteral("Local path"), NameBytes::decode(item.path)},
              {QStringLiteral("Type"), isVolume   ? QStringLiteral("Volume")
                                       : directory ? QStringLiteral("Folder")
                                       : S_ISLNK(sx.stx_mode) ? QStringLiteral("Symbolic link")
                                                               : QStringLiteral("File")}};
    if (isVolume)
        addVolumeFigures(rows, item.path);
    else if (!directory)
        rows.append({QStringLiteral("Size"), bytesAndMegabytes(double(sx.stx_size))});
    rows.append({QStringLiteral("Owner"), ownerName(env, volumePath, sx.stx_uid)});
    rows.append({QStringLiteral("Group"), groupName(sx.stx_gid)});
    rows.append({QStringLiteral("Permissions"), permissions(sx.stx_mode)});
    rows.append({QStringLiteral("Created"), (sx.stx_mask & STATX_BTIME) ? when(sx.stx_btime.tv_sec)
                                                                         : QStringLiteral("(not recorded)")});
    rows.append({QStringLiteral("Modified"), when(sx.stx_mtime.tv_sec)});
    rows.append({QStringLiteral("Accessed"), when(sx.stx_atime.tv_sec)});
    return rows;
}

} // namespace ItemProperties
