#include "reports/directory_report.h"

#include "fsview/name_bytes.h"
#include "fsview/ordered_walk.h"
#include "fsview/subtree_bytes.h"
#include "reports/cell_format.h"
#include "reports/directory_trail.h"
#include "reports/immediate_rows.h"
#include "reports/report_run.h"
#include "reports/scan_walk.h"
#include "reports/walk_export.h"
#include "sizetree/size_tree_builder.h"
#include "reports/walk_start.h"
#include "reports/walk_progress.h"

#include <QElapsedTimer>
#include <QFile>

#include <functional>

namespace {

constexpr double kMegabyte = 1048576.0;

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

QString volumePathOf(const ParsedPath& p) {
    return QStringLiteral("\\\\") + p.server + QLatin1Char('\\') + p.volume.chopped(1) + QLatin1Char('\\') +
           p.directory;
}

void keepRowInView(ReportEnv& env) {
    env.grid.TopRow = fcnGridTopRow(kDirectoryGridHeight, kDirectoryRowHeight, env.grid.rows(), env.grid.TopRow);
}

// What a Directory run does with each directory besides its rows: export it.
using DirectoryTap = std::function<void(const WalkedDirectory&)>;

// One row per subdirectory of the start, each summing its whole subtree.
template <typename Walk>
void immediateRowsOf(ReportEnv& env, Walk& walk, const QString& start, const DirectoryTap& tap) {
    DirectoryTrail trail(start);
    ImmediateRows rows(env);
    const auto poll = [&env] { env.host.pollEvents(); };
    while (const std::optional<WalkedDirectory> directory = walk.next(env.run.cancel, poll)) {
        const QString& path = trail.enter(*directory);
        countWalked(env.run.progress, *directory, path);
        if (tap)
            tap(*directory);
        if (directory->depth == 0)
            continue; // the start's own files are in no row
        if (directory->depth == 1) {
            rows.finish();
            rows.begin(path);
        }
        rows.add(*directory);
    }
    if (env.run.cancelled())
        rows.cancel();
    else
        rows.finish();
    noteWalkEnd(env.run, walk);
}

void addOwnFilesRow(ReportEnv& env, const QString& path, const WalkedDirectory& directory) {
    env.host.setStatus(QStringLiteral("Gathering Information for ") + path);
    const qsizetype row = env.grid.addRow({QString(), path, QStringLiteral("Calculating...")});
    env.host.pollEvents();
    keepRowInView(env);
    SubtreeBytes own;
    own.add(directory);
    const double megabytes = double(env.search.allocatedSizes ? own.allocated() : directory.fileBytes) / kMegabyte;
    env.grid.setCell(row, 2, CellFormat::padLeft(CellFormat::formatNumber(megabytes,
                                                                            QStringLiteral("###,###,###,##0.00"))));
    env.grid.setFigures(row, ImmediateRows::figuresOf(own));
    ++env.run.rowCounter;
}

// One row per directory, each with its own files; the total counts a file
// with names in several folders once, as du -sb of the start does.
template <typename Walk>
void ownFilesRowsOf(ReportEnv& env, Walk& walk, const QString& start, const DirectoryTap& tap) {
    DirectoryTrail trail(start);
    SubtreeBytes total;
    const auto poll = [&env] { env.host.pollEvents(); };
    while (const std::optional<WalkedDirectory> directory = walk.next(env.run.cancel, poll)) {
        const QString& path = trail.enter(*directory);
        countWalked(env.run.progress, *directory, path);
        addOwnFilesRow(env, path, *directory);
        total.add(*directory);
        if (tap)
            tap(*directory);
        env.host.pollEvents();
    }
    env.run.sizeTotal = double(env.search.allocatedSizes ? total.allocated() : total.bytes()) / kMegabyte;
    noteWalkEnd(env.run, walk);
}

// Where the tree's walk began, by raw names, so its files can be found
// again as a File listing's rows find theirs.
SizeTree::Start treeStart(const QString& volumePath, const VolumeView::Opened& start, bool subtreeRows) {
    const std::optional<VolumePathParts> parts = VolumePathParts::split(volumePath);
    return parts ? SizeTree::Start{parts->server, parts->volume, start.names, subtreeRows} : SizeTree::Start{};
}

// A walk whose every folder and file goes into env.sizeTree as well.
template <typename RowsOf>
void keptWalk(ReportEnv& env, VolumeView::Opened& start, const SizeTree::Start& place, const RowsOf& rowsOf) {
    *env.sizeTree = SizeTree();
    env.sizeTree->setStart(place);
    OrderedWalk::Options options = OrderedWalk::Options::sumsOnly();
    options.recordFile = SizeTreeBuilder::recordFile;
    SizeTreeBuilder builder(*env.sizeTree);
    // As decode made it: bytes that are not UTF-8 come back as they were.
    const QByteArray startName = NameBytes::encode(start.display);
    OrderedWalk walk(start.fd.release(), options);
    QElapsedTimer told;
    told.start();
    rowsOf(walk, [&](const WalkedDirectory& directory) {
        builder.add(directory, startName);
        if (env.sizeTreeGrew && told.elapsed() >= env.sizeTreeGrewEvery) {
            env.sizeTreeGrew();
            told.restart();
        }
    });
    builder.finish();
}

// Fills the rows, rowsOf(walk, tap), from the run's source: the scan
// /IMPORT= names, else a walk of the start, exported when /EXPORT= asks.
template <typename RowsOf>
void fromRunSource(ReportEnv& env, VolumeView::Opened& start, const SizeTree::Start& place, const RowsOf& rowsOf) {
    if (!env.app.importFilePath.isEmpty()) {
        ScanWalk scan(env.run, env.app.importFilePath);
        if (!scan.failed())
            rowsOf(scan, DirectoryTap());
        return;
    }
    if (env.sizeTree && env.app.exportFilePath.isEmpty()) {
        keptWalk(env, start, place, rowsOf);
        return;
    }
    WalkExport exported(env.run, env.app.exportFilePath, start.fd.get());
    if (exported.failed())
        return;
    OrderedWalk walk(start.fd.release(), exported.walkOptions());
    rowsOf(walk, [&exported](const WalkedDirectory& directory) { exported.add(directory); });
    exported.finish();
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
    const QString volumePath = volumePathOf(p);
    VolumeView::Opened start = WalkStart::open(env, volumePath, false);
    if (start.ok())
        fromRunSource(env, start, treeStart(volumePath, start, true), [&](auto& walk, const DirectoryTap& tap) {
            immediateRowsOf(env, walk, start.display, tap);
        });
    env.client.NWDeleteDriveBase(std::uint16_t(drive), 0);
    env.host.pollEvents();
}

void subListDirs(ReportEnv& env, const QString& startDirectory) {
    env.host.setBusy(true);
    VolumeView::Opened start = WalkStart::open(env, startDirectory, false);
    if (!start.ok())
        return;
    fromRunSource(env, start, treeStart(startDirectory, start, false), [&](auto& walk, const DirectoryTap& tap) {
        ownFilesRowsOf(env, walk, start.display, tap);
    });
    env.host.setBusy(false);
    env.host.pollEvents();
}
