#include "reports/report_run.h"

#include <QLocale>

#include "reports/cell_format.h"
#include "netware/name_forms.h"
#include "reports/directory_report.h"
#include "reports/file_search.h"
#include "reports/grid_layouts.h"
#include "reports/owner_report.h"
#include "reports/volume_report.h"
#include "reports/walk_progress.h"

namespace {

const QString kStop = QStringLiteral("Stop");

QString count(const ResultGrid& grid, const char* picture) {
    return CellFormat::formatNumber(double(grid.rows() - 1), QString::fromLatin1(picture));
}

QString amount(double value) {
    return CellFormat::formatNumber(value, QStringLiteral("###,###,###,##0.00"));
}

// "Total Results: <n>    |    Total Size: <sum> MB"
QString totalsLine(const QString& rows, double megabytes) {
    return QStringLiteral("Total Results: ") + rows + QStringLiteral("    |    Total Size: ") +
           amount(megabytes) + QStringLiteral(" MB");
}

void beginRun(ReportEnv& env) {
    env.view.controlsFrozen = true;
    // The rows it would drill into are about to go; a press on a new row enables it again.
    env.view.btnShowFilesEnabled = false;
    env.run.cancel = false;
    env.run.inProgress = true;
    env.client.startAccountingRun(env.app.treeName);
    env.run.startCounting(); // afresh: the window runs one report after another
    // An owner run's accounting walk counts into the progress the status shows.
    env.client.setWalkControl(&env.run.cancel, [&env] { env.host.pollEvents(); },
                              [&env](const WalkedDirectory& directory) { countWalked(env.run.progress, directory, {}); });
    env.view.btnShowFilesCaption = QStringLiteral("Show Files for Selected");
    env.host.pollEvents();
    env.view.btnShowUsageCaption = kStop;
}

NWDSContextHandle openContext(ReportEnv& env) {
    NWDSContextHandle context = 0;
    NetWareClient& c = env.client;
    c.NWDSCreateContextHandle(context);
    c.NWDSSetContext(context, nw::DCK_TREE_NAME, env.app.treeName);
    std::uint32_t flags = 0;
    c.NWDSGetContext(context, nw::DCK_FLAGS, flags);
    c.NWDSSetContext(context, nw::DCK_FLAGS, flags | nw::DCV_TYPELESS_NAMES);
    c.NWDSSetContext(context, nw::DCK_NAME_CONTEXT, QStringLiteral("[Root]"));
    env.run.dsContext = context;
    return context;
}

void clearRunFigures(ReportEnv& env) {
    env.view.lblGraphStats.clear();
    env.run.patternInUse = QStringLiteral("*");
    env.run.sizeTotal = 0;
    env.run.rowLimitReached = false;
    env.view.lblInformationTip.clear();
}

void runOwner(ReportEnv& env) {
    env.run.resultsPresent = true;
    env.view.lblInfoLabel = QStringLiteral("Volume");
    env.view.lblInformation = QStringLiteral("\\\\") + env.search.cmbServer.text +
                              QLatin1Char('\\') + env.search.cmbVolumeList.text;
    subInitializeGrid(env.grid, QStringLiteral("Owner"));
    env.run.ownerColumn = env.grid.fcnFindColumn(QStringLiteral("Owner"));
    env.run.resultsKind = QStringLiteral("Owner");
    env.run.notes.append(QStringLiteral("Owner figures are the space the files take on the disk, as du counts it; "
                                        "Show Files lists their lengths."));
    const QString volumePath =
        env.search.cmbServer.text + QLatin1Char('/') + env.search.cmbVolumeList.text + QLatin1Char(':');
    switch (env.search.ownerOption) {
    case OwnerOption::optAllOwners: subGetOwnerUsage(env, volumePath); break;
    case OwnerOption::optSelectOwner: subGetSingleOwnerUsage(env, volumePath); break;
    case OwnerOption::optGroup:
        env.run.ownerKind = QStringLiteral("Group");
        subGetGroupofUsers(env, env.search.lblStartContainer, env.search.cmbGroup.text, volumePath);
        env.run.ownerKind = QStringLiteral("User");
        break;
    }
    env.view.lblGraphStats = totalsLine(count(env.grid, "###,###,##0"), env.run.sizeTotal);
}

void runVolume(ReportEnv& env) {
    subGetVolumeUsage(env); // it writes the totals line: each file system counted once
    env.view.btnRmvAllEnabled = true;
}

void showStartDirectory(ReportEnv& env) {
    env.view.lblInfoLabel = QStringLiteral("Start Directory");
    env.view.lblInformation = env.search.lblDirectory;
    env.view.lblInformationTip = env.search.lblDirectory;
}

// The common start of the Directory and File runs.
void startListing(ReportEnv& env, const QString& layout, const QString& resultsKind) {
    env.run.resultsPresent = true;
    showStartDirectory(env);
    subInitializeGrid(env.grid, layout);
    // The heading says which size the rows give.
    if (env.search.allocatedSizes) {
        for (const char* apparent : {"Size(MB)", "Size"}) {
            if (const int col = env.grid.fcnFindColumn(QLatin1String(apparent)); col != ResultGrid::kNotFound)
                env.grid.setCell(0, col, QLatin1String(apparent) == QLatin1String("Size") ? QStringLiteral("Allocated")
                                                                                          : QStringLiteral("Allocated(MB)"));
        }
    }
    env.run.ownerColumn = env.grid.fcnFindColumn(QStringLiteral("Owner"));
    env.run.resultsKind = resultsKind;
    env.run.rowCounter = 1;
}

void runDirectory(ReportEnv& env) {
    if (env.search.subDirOption != SubDirOption::None) {
        startListing(env, QStringLiteral("Directory"), QStringLiteral("Directory"));
        if (env.search.subDirOption == SubDirOption::optImmediateSubDirs)
            subListDirsOnly(env, fcnNetWarePath(env.search.lblDirectory.mid(2)));
        else
            subListDirs(env, env.search.lblDirectory);
    }
    // The exact sizes: the cells are rounded, immediate ones even up.
    env.view.lblGraphStats = totalsLine(count(env.grid, "###,###,##0"), env.run.sizeTotal);
}

void fileTotals(ReportEnv& env) {
    env.view.lblGraphStats = totalsLine(count(env.grid, "###,##0"), env.run.sizeTotal / 1048576.0);
}

void runFile(ReportEnv& env) {
    const int drive = fcnMapDriveToVolume(env);
    if (drive == 99)
        return;
    startListing(env, QStringLiteral("File"), QStringLiteral("File"));
    env.run.cancel = false;
    if (env.search.fileOption == FileOption::optFileType)
        env.run.patternInUse = env.search.txtFileType;
    subListDirsAndFiles(env, env.search.lblDirectory, QString());
    env.client.NWDeleteDriveBase(std::uint16_t(drive), 0);
    fileTotals(env);
}

void runDate(ReportEnv& env) {
    showStartDirectory(env);
    env.run.resultsKind = QStringLiteral("File");
    subInitializeGrid(env.grid, QStringLiteral("Date"), env.search.dateOption);
    env.run.resultsPresent = true;
    env.run.rowCounter = 1;
    env.run.cancel = false;
    subListDirsAndFiles(env, env.search.lblDirectory, QString());
    fileTotals(env);
}

void dispatch(ReportEnv& env) {
    // Owners come from the tree's directory: with no answer from it every
    // file would pass for unowned. A command line has asked before its output opened.
    if (const QString problem = env.app.commandLineMode ? QString() : fcnDirectoryProblem(env); !problem.isEmpty()) {
        env.host.message(problem);
        return;
    }
    switch (env.search.tabSearch) {
    case ReportKind::Owner: runOwner(env); break;
    case ReportKind::Volume: runVolume(env); break;
    case ReportKind::Directory: runDirectory(env); break;
    case ReportKind::File: runFile(env); break;
    case ReportKind::Date: runDate(env); break;
    }
}

// " (1 folder that loops back to one above it was not entered again)", or
// nothing when no folder did.
QString loopingText(std::uint64_t folders) {
    if (folders == 0)
        return {};
    return folders == 1 ? QStringLiteral(" (1 folder that loops back to one above it was not entered again)")
                        : QStringLiteral(" (%1 folders that loop back to ones above them were not entered again)")
                              .arg(folders);
}

// " 2,079 directories, 200,461 files, 5.43 GB in 2.9 s": what the run went
// through, and how long it took.
QString coveredText(const RunState& run) {
    const QLocale locale;
    QString text;
    if (run.progress.directories > 0 || run.progress.files > 0)
        text = QStringLiteral(" %1, %2, %3")
                   .arg(CellFormat::counted(run.progress.directories, "directory", "directories"),
                        CellFormat::counted(run.progress.files, "file", "files"),
                        locale.formattedDataSize(qint64(run.progress.bytes), 2, QLocale::DataSizeTraditionalFormat));
    const double seconds = run.clock.isValid() ? double(run.clock.elapsed()) / 1000.0 : 0.0;
    return text + QStringLiteral(" in %1 s").arg(locale.toString(seconds, 'f', 1));
}

// "Process Complete." or "Process Cancelled!" with what the run went
// through, how many entries its walks could not read and how many folders
// they did not enter again, if any.
QString outcome(ReportEnv& env) {
    if (const QString failure = fcnRunFailure(env); !failure.isEmpty() && !env.run.cancelled())
        return QStringLiteral("Process Failed: %1; %2.")
            .arg(failure, env.grid.rows() > 1 ? QStringLiteral("the results are incomplete")
                                              : QStringLiteral("nothing was reported"));
    QString text = (env.run.cancelled() ? QStringLiteral("Process Cancelled!") : QStringLiteral("Process Complete.")) +
                   coveredText(env.run);
    if (env.run.rowLimitReached && !env.run.cancelled())
        text += QStringLiteral(" The row limit was reached: the search ended there.");
    if (const std::uint64_t unreadable = env.client.unreadableEntries() + env.run.unreadableEntries)
        text += QStringLiteral(" (%1 entries could not be read)").arg(unreadable);
    text += loopingText(env.client.loopingFolders() + env.run.loopingFolders);
    // A sentence of their own after the figures.
    const bool endsSentence = text.endsWith(QLatin1Char('.')) || text.endsWith(QLatin1Char('!'));
    return env.run.notes.isEmpty() ? text
                                   : text + (endsSentence ? QStringLiteral(" ") : QStringLiteral(". ")) +
                                         env.run.notes.join(QLatin1Char(' '));
}

void endRun(ReportEnv& env, NWDSContextHandle context) {
    env.client.NWDSFreeContext(context);
    env.client.setWalkControl(nullptr, {});
    env.run.inProgress = false; // first: the outcome is shown as it is, not as progress
    env.host.setStatus(outcome(env));
    env.grid.Col = 0;
    env.view.btnShowUsageCaption = QStringLiteral("&Show Usage");
    env.view.controlsFrozen = false;
}

} // namespace

void btnShowUsage_Click(ReportEnv& env) {
    env.host.setBusy(true);
    if (env.view.btnShowUsageCaption == kStop) {
        env.run.cancel = true;
        return;
    }
    beginRun(env);
    const NWDSContextHandle context = openContext(env);
    clearRunFigures(env);
    dispatch(env);
    endRun(env, context);
    env.host.setBusy(false);
}

void fcnDirectoryFailed(ReportEnv& env, const QString& what) {
    const QString why = env.client.directoryFailure();
    env.run.failure = why.isEmpty() ? QStringLiteral("the directory %1 (error %2)").arg(what).arg(env.client.lastResult())
                                    : QStringLiteral("the directory %1: %2").arg(what, why);
    env.run.failureStatus = 1;
}

QString fcnRunFailure(const ReportEnv& env) {
    return env.run.failure.isEmpty() ? env.client.walkFailure() : env.run.failure;
}

QString fcnDirectoryProblem(ReportEnv& env) {
    if (env.search.tabSearch == ReportKind::Volume || env.search.tabSearch == ReportKind::Directory ||
        !env.client.site().findTree(env.app.treeName))
        return {};
    const QString problem = env.client.directoryProblem(env.app.treeName);
    return problem.isEmpty() ? problem : QStringLiteral("The directory of the tree cannot be read: %1.").arg(problem);
}

void subClearRunFigures(ReportEnv& env) {
    clearRunFigures(env);
}

NWDSContextHandle fcnOpenRunContext(ReportEnv& env) {
    return openContext(env);
}

QString fcnTotalsLine(const ResultGrid& grid, double megabytes) {
    return totalsLine(count(grid, "###,###,##0"), megabytes);
}

QString fcnRunOutcome(ReportEnv& env) {
    return outcome(env);
}

int fcnFindFreeDrive(ReportEnv& env) {
    for (int drive = nw::kDriveCount; drive >= 2; --drive) {
        std::uint16_t status = 0xFFFF;
        NWCONN_HANDLE connection = 0;
        QString root, relative, full;
        if (env.client.NWGetDriveStatus(std::uint16_t(drive), 2, status, connection, root,
                                        relative, full) == nw::SUCCESSFUL &&
            status == nw::NW_FREE_DRIVE)
            return drive;
    }
    env.host.message(QStringLiteral(
        "There are no free drive letters, please release a drive and try again."));
    return 99;
}

int fcnMapDriveToVolume(ReportEnv& env) {
    const int drive = fcnFindFreeDrive(env);
    if (drive == 99) {
        env.run.cancel = true;
        return drive;
    }
    NWCONN_HANDLE connection = 0;
    env.client.NWAttachToFileServer(env.search.cmbServer.text, 0, connection);
    env.client.NWSetDriveBase(std::uint16_t(drive), connection, 0, env.search.cmbVolumeList.text + QStringLiteral(":\\"),
                              0);
    return drive;
}

double fcnSumColumn(const ResultGrid& grid, int col) {
    double sum = 0;
    for (qsizetype row = 1; row < grid.rows(); ++row)
        sum += CellFormat::numberValue(grid.cell(row, col)).value_or(0);
    return sum;
}
