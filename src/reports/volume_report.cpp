#include "reports/volume_report.h"

#include "reports/cell_format.h"
#include "reports/grid_layouts.h"

#include <sys/stat.h>
#include <sys/statvfs.h>

#include <algorithm>
#include <optional>
#include <set>
#include <utility>

namespace {

constexpr double kMegabyte = 1048576.0;

// Bytes, as df counts them: used is every block not free, free is what users
// may still fill; blocks kept for root are neither.
struct VolumeFigures {
    double total = 0;
    double used = 0;
    double free = 0;
    double purgeable = 0;
    double notYetPurgeable = 0;
};

QString serverOf(const QString& volumePath) {
    const qsizetype end = volumePath.indexOf(QLatin1Char('\\'), 2);
    return volumePath.mid(2, end < 0 ? -1 : end - 2);
}

QString volumeOf(const QString& volumePath) {
    const qsizetype end = volumePath.indexOf(QLatin1Char('\\'), 2);
    return end < 0 ? QString() : volumePath.mid(end + 1);
}

DIR_SPACE_INFO readSpaceInfo(ReportEnv& env, const QString& server, const QString& volume) {
    QString parsedServer, parsedVolume, dirPath;
    NWCONN_HANDLE connection = 0;
    std::uint16_t volumeNumber = 0;
    DIR_SPACE_INFO info;
    env.client.NWParsePath(server + QLatin1Char('/') + volume + QLatin1Char(':'), parsedServer,
                           connection, parsedVolume, dirPath);
    env.client.NWGetVolumeNumber(connection, parsedVolume.trimmed(), volumeNumber);
    env.client.NWGetDirSpaceInfo(connection, 0, volumeNumber, info);
    return info;
}

VolumeFigures figuresOf(const DIR_SPACE_INFO& info) {
    const double bytesPerBlock = double(info.sectorsPerBlock) * 512.0;
    const std::uint64_t usedBlocks = info.totalBlocks - std::min(info.freeBlocks, info.totalBlocks);
    return {double(info.totalBlocks) * bytesPerBlock, double(usedBlocks) * bytesPerBlock,
            double(info.availableBlocks) * bytesPerBlock, double(info.purgeableBlocks) * bytesPerBlock,
            double(info.notYetPurgeableBlocks) * bytesPerBlock};
}

QString megabytes(double bytes) {
    return CellFormat::padLeft(CellFormat::formatNumber(bytes / kMegabyte, QStringLiteral("###,###,###,##0.00")));
}

// The share of the space users can have that is still free, as df shows
// it; empty when there is none: the share cannot be computed.
QString percentFree(const VolumeFigures& f) {
    if (f.used + f.free == 0)
        return {};
    return CellFormat::padLeft(CellFormat::formatNumber(f.free / (f.used + f.free) * 100, QStringLiteral("#0")),
                               3) +
           QLatin1Char('%');
}

QStringList rowCells(const QString& volumePath, const VolumeFigures& f) {
    return {CellFormat::plainNumber(f.total / kMegabyte), CellFormat::plainNumber(f.free / kMegabyte),
            CellFormat::plainNumber(f.used / kMegabyte), volumePath,
            megabytes(f.total), megabytes(f.used - f.purgeable),
            megabytes(f.purgeable), megabytes(f.notYetPurgeable), megabytes(f.free),
            percentFree(f)};
}

RowFigures rowFigures(const VolumeFigures& f) {
    RowFigures figures;
    figures.bytes = std::int64_t(f.used);
    figures.total = std::int64_t(f.total);
    figures.purgeable = std::int64_t(f.purgeable);
    figures.pending = std::int64_t(f.notYetPurgeable);
    figures.free = std::int64_t(f.free);
    return figures;
}

void addUnavailableRow(ResultGrid& grid, const QString& volumePath) {
    const QString u = QStringLiteral("Unavailable");
    grid.addRow({u, u, u, volumePath, u, u, u, u, u, QStringLiteral("N/A")});
}

void startReport(ReportEnv& env) {
    env.view.controlsFrozen = true;
    subInitializeGrid(env.grid, QStringLiteral("Volumes"));
    env.run.rowCounter = 1;
    env.host.setBusy(true);
    env.view.lblInfoLabel = QStringLiteral("Volume List");
    env.view.lblInformation.clear();
    env.view.lblInformationTip.clear();
    env.run.resultsKind = QStringLiteral("Volumes");
    env.view.btnShowFilesCaption = QStringLiteral("Show Directories for selected");
    env.view.btnShowFilesEnabled = false;
    env.run.freeSpaceTotal = 0;
}

// The file system a volume lies on (device and statvfs's f_fsid): volumes
// that are folders of one disk share it.
using FileSystemKey = std::pair<std::uint64_t, std::uint64_t>;

std::optional<FileSystemKey> fileSystemOf(ReportEnv& env, const QString& server, const QString& volume) {
    const std::optional<QByteArray> root = env.volumes.volumeRoot(server, volume);
    struct stat st {};
    struct statvfs vfs {};
    if (!root || ::stat(root->constData(), &st) != 0 || ::statvfs(root->constData(), &vfs) != 0)
        return std::nullopt;
    return FileSystemKey{std::uint64_t(st.st_dev), std::uint64_t(vfs.f_fsid)};
}

// The totals line's figures, each file system counted once.
struct VolumeTotals {
    double size = 0;
    double used = 0;
    double free = 0;
    int shared = 0; // volumes whose file system was counted already
    std::set<FileSystemKey> counted;

    void add(const std::optional<FileSystemKey>& key, const VolumeFigures& f) {
        if (key && !counted.insert(*key).second) {
            ++shared;
            return;
        }
        size += f.total;
        used += f.used;
        free += f.free;
    }
    QString line() const {
        const auto gigabytes = [](double bytes) {
            return CellFormat::formatNumber(bytes / kMegabyte / 1024, QStringLiteral("###,###,###,##0.00"));
        };
        QString text = QStringLiteral("Total Space: ") + gigabytes(size) + QStringLiteral(" GB   |   Used Space: ") +
                       gigabytes(used) + QStringLiteral(" GB   |   Free Space: ") + gigabytes(free) +
                       QStringLiteral(" GB");
        if (shared > 0)
            text += QStringLiteral("   (each file system counted once: %1 of the volumes share one with another)")
                        .arg(shared);
        return text;
    }
};

void reportVolume(ReportEnv& env, const QString& volumePath, VolumeTotals& totals) {
    env.host.setStatus(QStringLiteral("Gathering stats for ") + volumePath);
    const QString server = serverOf(volumePath);
    NWCONN_HANDLE connection = 0;
    env.client.NWAttachToFileServer(server, 0, connection);
    env.host.pollEvents();
    if (const VolumeView::Opened opened = env.volumes.openDirectory(volumePath); !opened.ok()) {
        // The row says "Unavailable"; the status says why.
        const QString unmounted = env.client.whyNoRoot(server, volumeOf(volumePath));
        env.run.notes.append(QStringLiteral("Unavailable: %1.")
                                 .arg(!unmounted.isEmpty() ? unmounted
                                                           : QStringLiteral("%1: %2").arg(volumePath, opened.error)));
        addUnavailableRow(env.grid, volumePath);
        ++env.run.rowCounter;
        return;
    }
    const VolumeFigures figures = figuresOf(readSpaceInfo(env, server, volumeOf(volumePath)));
    totals.add(fileSystemOf(env, server, volumeOf(volumePath)), figures);
    env.grid.addRow(rowCells(volumePath, figures), {}, rowFigures(figures));
    env.run.freeSpaceTotal += figures.free / kMegabyte;
    ++env.run.rowCounter;
    env.host.pollEvents();
}

} // namespace

void subGetVolumeUsage(ReportEnv& env) {
    startReport(env);
    VolumeTotals totals;
    for (const QString& volumePath : std::as_const(env.search.lstSelectedVolumes)) {
        if (env.run.cancelled())
            break;
        reportVolume(env, volumePath, totals);
    }
    env.view.lblGraphStats = totals.line();
    env.grid.Row = 0;
    env.view.controlsFrozen = false;
    env.host.setStatus(QStringLiteral("Process Complete."));
    env.host.setBusy(false);
}

QStringList fcnVolumeRowCells(const QString& volumePath, const DIR_SPACE_INFO& info) {
    return rowCells(volumePath, figuresOf(info));
}
