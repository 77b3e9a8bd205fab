#include "reports/show_files.h"

#include "netware/directory_queries.h"
#include "reports/directory_report.h"
#include "reports/file_search.h"
#include "reports/grid_layouts.h"
#include "reports/report_run.h"

namespace {

const QString kStop = QStringLiteral("Stop");
constexpr double kMegabyte = 1048576.0;

void beginDrillDown(ReportEnv& env) {
    env.host.setBusy(true);
    env.view.controlsFrozen = true;
    env.run.inProgress = true;
    env.view.btnShowFilesCaption = kStop;
    env.run.startCounting();
    subClearRunFigures(env);
    env.client.setWalkControl(&env.run.cancel, [&env] { env.host.pollEvents(); });
}

void startListing(ReportEnv& env, const QString& layout, DateOption dateOption = DateOption::None) {
    subInitializeGrid(env.grid, layout, dateOption);
    env.run.rowCounter = 1;
    env.run.cancel = false;
    env.run.resultsPresent = true;
}

// The owner's files on the whole volume the owner report ran on. Files'
// owners are named from "[Root]", by their full names; the row names its
// owner in the owner report's container, so it is looked for by its full
// name too, or an owner below the root would never own a file.
void ownerFiles(ReportEnv& env) {
    const QString volume = env.view.lblInformation;
    const QString owner = env.grid.cell(env.grid.Row, env.run.ownerColumn);
    const QString fullName = fcnOwnerDottedName(env.app, owner);
    env.view.lblInfoLabel = QStringLiteral("Files for owner ");
    env.view.lblInformation = owner;
    env.view.lblInformationTip = fcnGetFullName(env, fullName);
    startListing(env, QStringLiteral("OwnerFile"));
    // The owner's row counted blocks; these are lengths, and sparse files differ.
    env.run.notes.append(QStringLiteral("Sizes are the files' lengths; the owner's figure was the space they take "
                                        "on the disk."));
    subListDirsAndFiles(env, volume, fullName);
    env.view.lblGraphStats = fcnTotalsLine(env.grid, env.run.sizeTotal / kMegabyte);
}

void volumeDirectories(ReportEnv& env) {
    const QString volume = env.grid.cell(env.grid.Row, 3);
    env.view.lblInfoLabel = QStringLiteral("Volume ");
    env.view.lblInformation = volume;
    env.view.lblInformationTip.clear();
    startListing(env, QStringLiteral("Directory"));
    env.run.resultsKind = QStringLiteral("Directory");
    subListDirs(env, volume);
    env.view.lblGraphStats = fcnTotalsLine(env.grid, env.run.sizeTotal);
}

// The directory's files; shown from the Date tab, with its filter and its
// columns (the Date layout, so the headings name what the cells hold).
void directoryFiles(ReportEnv& env) {
    const QString directory = env.grid.cell(env.grid.Row, 1);
    env.view.lblInfoLabel = QStringLiteral("Directory ");
    env.view.lblInformation = directory;
    env.view.lblInformationTip = directory;
    const bool dates = env.search.tabSearch == ReportKind::Date;
    startListing(env, dates ? QStringLiteral("Date") : QStringLiteral("File"),
                 dates ? env.search.dateOption : DateOption::None);
    env.run.resultsKind = QStringLiteral("Files");
    subListDirsAndFiles(env, directory, QString());
    env.view.lblGraphStats = fcnTotalsLine(env.grid, env.run.sizeTotal / kMegabyte);
}

void endDrillDown(ReportEnv& env, NWDSContextHandle context) {
    env.client.setWalkControl(nullptr, {});
    env.run.inProgress = false; // first: the outcome is shown as it is, not as progress
    env.host.setStatus(fcnRunOutcome(env));
    env.view.btnShowFilesCaption = QStringLiteral("Show Files for Selected");
    env.client.NWDSFreeContext(context);
    env.view.controlsFrozen = false;
    env.view.btnShowFilesEnabled = false;
    env.host.setBusy(false);
}

} // namespace

void btnShowFiles_Click(ReportEnv& env) {
    if (env.view.btnShowFilesCaption == kStop) {
        env.run.cancel = true;
        return;
    }
    // Only a data row leads anywhere: the heading row is no path.
    if (env.grid.Row < 1 || env.grid.Row >= env.grid.rows())
        return;
    beginDrillDown(env);
    const NWDSContextHandle context = fcnOpenRunContext(env);
    const QString kind = env.run.resultsKind;
    if (kind == QLatin1String("Owner") && env.run.ownerColumn != RunState::kNoColumn)
        ownerFiles(env);
    else if (kind == QLatin1String("Volumes"))
        volumeDirectories(env);
    else if (kind == QLatin1String("Directory"))
        directoryFiles(env);
    endDrillDown(env, context);
}
