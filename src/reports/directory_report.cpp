#include "reports/directory_report.h"

#include "fsview/folder_size.h"
#include "fsview/ordered_walk.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"

namespace {

constexpr double kMegabyte = 1048576.0;
constexpr int kGridHeight = 4000; // twips the window shows the grid in; enough to keep new rows in view
constexpr int kRowHeight = 240;

struct ParsedPath {
    QString server;
    NWCONN_HANDLE connection = 0;
    QString volume;    // "VOL:"
    QString directory; // "DIR\SUB\" or empty for the volume root
};

// The directory scan's reading of a NetWare path: \DIR becomes DIR\.
ParsedPath parsePath(ReportEnv& env, const QString& netWarePath) {
    ParsedPath p;
    QString volume, directory;
    env.client.NWParsePath(netWarePath, p.server, p.connection, volume, directory);
    p.server = p.server.trimmed();
    p.volume = volume.trimmed() + QLatin1Char(':');
    p.directory = directory.trimmed().section(QChar(0), 0, 0);
    if (p.directory.startsWith(QLatin1Char('\\')))
        p.directory = p.directory.mid(1) + QLatin1Char('\\');
    if (p.directory == QLatin1String("\\"))
        p.directory.clear();
    return p;
}

NWDIR_HANDLE allocateHandle(ReportEnv& env, const ParsedPath& p) {
    NWDIR_HANDLE handle = 0;
    const QString path = p.volume + p.directory;
    if (env.client.NWAllocTempNSDirHandle2(p.connection, 0, path, 4, handle, 4) != nw::SUCCESSFUL)
        env.client.NWAllocTempNSDirHandle2(p.connection, 0, path, 0, handle, 0);
    return handle;
}

void keepRowInView(ReportEnv& env) {
    env.grid.TopRow = fcnGridTopRow(kGridHeight, kRowHeight, env.grid.rows(), env.grid.TopRow);
}

// Measures one immediate sub-directory into its row; a cancel removes the row.
void measureSubdirectory(ReportEnv& env, const QString& path) {
    const qsizetype row = env.grid.addRow({QStringLiteral("0"), path, QStringLiteral("Calculating..")});
    env.host.pollEvents();
    keepRowInView(env);
    env.host.pollEvents();
    env.host.setStatus(QStringLiteral("Gathering Information for ") + path);
    const VolumeView::Resolved folder = env.volumes.resolve(path);
    std::optional<std::uint64_t> bytes;
    if (folder.ok() && !env.run.cancelled())
        bytes = FolderSize::of(folder.path, env.run.cancel, [&env] { env.host.pollEvents(); });
    if (env.run.cancelled()) {
        env.grid.setCell(row, 2, QStringLiteral("Cancelled"));
        env.grid.removeRow(row);
        return;
    }
    const double megabytes = double(bytes.value_or(0)) / kMegabyte + 0.005;
    env.grid.setCell(row, 2, CellFormat::padLeft(CellFormat::formatNumber(megabytes, QStringLiteral("###,###,##0.00"))));
    ++env.run.rowCounter;
    env.host.pollEvents();
}

QString displayName(const QByteArray& bytes) {
    return QString::fromUtf8(bytes);
}

QString pathBelow(const QString& start, const QByteArray& relativePath) {
    if (relativePath.isEmpty())
        return start;
    const QString separator = start.endsWith(QLatin1Char('\\')) ? QString() : QStringLiteral("\\");
    return start + separator + displayName(relativePath).replace(QLatin1Char('/'), QLatin1Char('\\'));
}

void addOwnFilesRow(ReportEnv& env, const QString& path, const WalkedDirectory& directory) {
    env.host.setStatus(QStringLiteral("Gathering Information for ") + path);
    const qsizetype row = env.grid.addRow({QString(), path, QStringLiteral("Calculating...")});
    env.host.pollEvents();
    keepRowInView(env);
    const double bytes = double(directory.fileBytes);
    env.grid.setCell(row, 2, CellFormat::padLeft(CellFormat::formatNumber(bytes / kMegabyte,
                                                                            QStringLiteral("###,###,###,##0.00"))));
    env.run.sizeTotal += bytes / kMegabyte;
    ++env.run.rowCounter;
}

} // namespace

void subListDirsOnly(ReportEnv& env, const QString& netWarePath) {
    env.host.setBusy(true);
    const int drive = fcnMapDriveToVolume(env);
    if (drive == 99)
        return;
    const ParsedPath p = parsePath(env, netWarePath);
    if (env.client.lastResult() != nw::SUCCESSFUL)
        env.host.message(QStringLiteral("Parse Path result: ") + QString::number(env.client.lastResult()));
    const NWDIR_HANDLE handle = allocateHandle(env, p);
    SEARCH_SEQUENCE sequence;
    NW_ENTRY_INFO entry;
    const QString base = QStringLiteral("\\\\") + p.server + QLatin1Char('\\') + p.volume.chopped(1) +
                         QLatin1Char('\\') + p.directory;
    while (!env.run.cancelled()) {
        const std::uint8_t nameSpace = env.client.NWIsLNSSupportedOnVolume(p.connection, handle, QString()) ? 4 : 0;
        if (env.client.NWScanNSEntryInfo(p.connection, handle, nameSpace, 0xB7, sequence, QStringLiteral("*"),
                                         0x000D, entry) != nw::SUCCESSFUL)
            break;
        measureSubdirectory(env, base + displayName(entry.name));
    }
    env.client.NWDeleteDriveBase(std::uint16_t(drive), 0);
    env.client.NWDeallocateDirectoryHandle(p.connection, handle);
    env.host.pollEvents();
}

void subListDirs(ReportEnv& env, const QString& startDirectory) {
    env.host.setBusy(true);
    const VolumeView::Resolved start = env.volumes.resolve(startDirectory);
    if (!start.ok()) {
        env.host.message(QStringLiteral("Unable to access ") + startDirectory + QStringLiteral(": ") + start.error);
        env.run.cancel = true;
        return;
    }
    OrderedWalk::Options options;
    // Only each directory's total is wanted: no file needs to reach this thread.
    options.fileFilter = [](const WalkedFile&) { return false; };
    OrderedWalk walk(start.path, options);
    const auto poll = [&env] { env.host.pollEvents(); };
    while (const std::optional<WalkedDirectory> directory = walk.next(env.run.cancel, poll)) {
        addOwnFilesRow(env, pathBelow(startDirectory, directory->relativePath), *directory);
        env.host.pollEvents();
    }
    env.run.unreadableEntries += walk.skipped();
    env.host.setBusy(false);
    env.host.pollEvents();
}
