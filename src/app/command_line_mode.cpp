#include "app/command_line_mode.h"

#include "app/command_line_output.h"
#include "netware/directory_queries.h"
#include "app/name_lookup.h"
#include "app/run_history.h"
#include "app/start_directory.h"
#include "app/switch_rules.h"
#include "reports/cell_format.h"
#include "reports/report_run.h"

#include <QRegularExpression>

namespace {

QString required(const CommandLine& line, const QString& switchText, const QString& what) {
    const std::optional<QString> value = line.value(switchText);
    if (!value)
        throw CommandLineError(QStringLiteral("You must specify %1 (%2).").arg(what, switchText));
    return *value;
}

ReportKind reportKindOf(const QString& function) {
    static const QStringList names = {QStringLiteral("OWNER"), QStringLiteral("VOLUME"),
                                      QStringLiteral("DIRECTORY"), QStringLiteral("FILE"),
                                      QStringLiteral("DATE")};
    const qsizetype index = names.indexOf(function);
    if (index < 0)
        throw CommandLineError(QStringLiteral("Unknown function /F=%1: use OWNER, VOLUME, DIRECTORY, FILE or DATE.")
                                   .arg(function));
    return ReportKind(index + 1);
}

// Shows the entry the directory listed for name in the container. A name
// it did not list would report someone else, or nothing, as if it were true.
void showListed(ChoiceList& list, const QString& name, const QString& kind, const QString& container) {
    const qsizetype index = list.findUpper(name);
    if (index >= 0) {
        list.text = list.entries[index];
        return;
    }
    QStringList sharing; // entries the directory tells apart by a tag, NAME{1A2B3C4D}
    for (const QString& entry : std::as_const(list.entries)) {
        if (entry.startsWith(name + QLatin1Char('{'), Qt::CaseInsensitive) && entry.endsWith(QLatin1Char('}')))
            sharing.append(entry);
    }
    if (sharing.size() > 1)
        throw CommandLineError(QStringLiteral("%1 is the name of %2 %3s in %4; name one of them: %5.")
                                   .arg(name, QString::number(sharing.size()), kind, container,
                                        sharing.join(QStringLiteral(", "))));
    const QString held = list.entries.isEmpty()
                             ? QStringLiteral("it holds no %1s").arg(kind)
                             : QStringLiteral("%1s: %2").arg(kind, NameLookup::listed(list.entries));
    throw CommandLineError(
        QStringLiteral("There is no %1 %2 in %3 (%4).").arg(kind, name, container, held));
}

void applyOwnerChoice(const QString& owner, ReportEnv& env, const OwnerListFillers& fillers) {
    SearchSettings& s = env.search;
    static const QRegularExpression allWithSubs(QStringLiteral("^ALL ?\\+ ?SUB$"));
    static const QRegularExpression allWithoutSubs(QStringLiteral("^ALL ?- ?SUB$"));
    if (allWithSubs.match(owner).hasMatch() || allWithoutSubs.match(owner).hasMatch()) {
        s.ownerOption = OwnerOption::optAllOwners;
        s.chkSubContainers = allWithSubs.match(owner).hasMatch();
    } else if (owner.startsWith(QLatin1String("GROUP="))) {
        s.ownerOption = OwnerOption::optGroup;
        if (fillers.listGroups)
            fillers.listGroups();
        showListed(s.cmbGroup, owner.mid(6).trimmed(), QStringLiteral("group"), s.lblStartContainer);
    } else {
        s.ownerOption = OwnerOption::optSelectOwner;
        if (fillers.listUsers)
            fillers.listUsers();
        showListed(s.cmbSelectedOwner, owner, QStringLiteral("user"), s.lblStartContainer);
    }
}

// Where the tree holds the one user or group /OWNER= names, when it names one.
std::optional<QString> containerOfSingleOwner(const QString& owner, ReportEnv& env) {
    static const QRegularExpression allOwners(QStringLiteral("^ALL ?[+-] ?SUB$"));
    if (allOwners.match(owner).hasMatch() || owner.startsWith(QLatin1Char('[')))
        return std::nullopt;
    const bool group = owner.startsWith(QLatin1String("GROUP="));
    const QString found = NameLookup(env).containerHolding(group ? QStringLiteral("Group") : QStringLiteral("User"),
                                                           group ? owner.mid(6).trimmed() : owner);
    return found.isEmpty() ? std::nullopt : std::optional<QString>(found);
}

void applyOwnerSwitches(const CommandLine& line, ReportEnv& env, const OwnerListFillers& fillers) {
    subApplyServerSwitch(line, env);
    subApplyVolumeSwitch(line, env);
    const QString owner = required(line, QStringLiteral("/OWNER="), QStringLiteral("an Owner")).trimmed();
    // Without /C= the whole tree, as the window starts with; a single user or
    // group is looked for in every container of it.
    env.search.lblStartContainer =
        line.value(QStringLiteral("/C=")).value_or(env.app.treeName + QStringLiteral("\\[Root]")).trimmed();
    if (!line.has(QStringLiteral("/C=")))
        env.search.lblStartContainer = containerOfSingleOwner(owner, env).value_or(env.search.lblStartContainer);
    NameLookup(env).container(env.search.lblStartContainer);
    applyOwnerChoice(owner, env, fillers);
}

// Each volume path names a server and a volume that exist, as the other
// reports' names must: a typing mistake is no "Unavailable" row.
void applyVolumeSwitches(const CommandLine& line, ReportEnv& env) {
    const QString list = required(line, QStringLiteral("/V="), QStringLiteral("the volumes"));
    const NameLookup names(env);
    for (const QString& item : list.split(QLatin1Char(','))) {
        const QString path = item.trimmed();
        if (path.isEmpty()) {
            env.search.lstSelectedVolumes.append(path); // kept as the window keeps it
            continue;
        }
        const QStringList parts = path.mid(2).split(QLatin1Char('\\'));
        if (!path.startsWith(QLatin1String("\\\\")) || parts.size() != 2 || parts[0].isEmpty() || parts[1].isEmpty())
            throw CommandLineError(QStringLiteral("/V= takes volume paths such as \\\\FS1\\SYS, separated by commas; "
                                                  "%1 is not one (from a shell, quote the switch so its backslashes "
                                                  "arrive).")
                                       .arg(path));
        const QString server = names.server(parts[0]);
        env.search.lstSelectedVolumes.append(QStringLiteral("\\\\") + server + QLatin1Char('\\') +
                                             names.volume(server, parts[1]));
    }
}

void applySizeSwitch(const CommandLine& line, SearchSettings& s) {
    const QString text = line.value(QStringLiteral("/SIZE"))->trimmed();
    static const QStringList codes = {QStringLiteral("LT"), QStringLiteral("GT"), QStringLiteral("EQ")};
    const qsizetype code = codes.indexOf(text.left(2));
    if (code < 0)
        throw CommandLineError(QStringLiteral("/SIZE needs GT, LT or EQ before the size: /SIZE%1")
                                   .arg(line.value(QStringLiteral("/SIZE")).value()));
    const QString size = text.mid(2).trimmed();
    static const QRegularExpression number(QStringLiteral("^[0-9]+(\\.[0-9]*)?$"));
    if (!number.match(size).hasMatch())
        throw CommandLineError(QStringLiteral("/SIZE needs a size in megabytes, not \"%1\".").arg(size));
    s.fileOption = FileOption::optFileSize;
    s.cmbSizeLimit.text = QStringList{QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("=")}[code];
    s.txtSearchSize = size;
}

void applyFileSwitches(const CommandLine& line, ReportEnv& env) {
    SearchSettings& s = env.search;
    if (const std::optional<QString> pattern = line.value(QStringLiteral("/PATTERN="))) {
        if (pattern->trimmed().isEmpty())
            throw CommandLineError(QStringLiteral("/PATTERN= needs a file pattern."));
        s.fileOption = FileOption::optFileType;
        s.txtFileType = *pattern;
    } else if (line.has(QStringLiteral("/SIZE"))) {
        applySizeSwitch(line, s);
    }
}

QString checkedDate(const QString& text, const QString& switchText) {
    if (!CellFormat::parseShortDate(text).isValid())
        throw CommandLineError(QStringLiteral("%1 needs a date such as %2, not \"%3\".")
                                   .arg(switchText, CellFormat::shortDate(QDate(2003, 9, 29)), text));
    return text;
}

void applyDateSwitches(const CommandLine& line, ReportEnv& env) {
    const std::optional<QString> option = line.value(QStringLiteral("/OPT="));
    if (!option)
        return;
    SearchSettings& s = env.search;
    static const QStringList options = {QStringLiteral("CREATE"), QStringLiteral("MODIFY"), QStringLiteral("ACCESS")};
    const qsizetype index = options.indexOf(*option);
    if (index < 0)
        throw CommandLineError(QStringLiteral("Unknown /OPT=%1: use CREATE, MODIFY or ACCESS.").arg(*option));
    s.dateOption = DateOption(index + 1);
    if (const auto older = line.value(QStringLiteral("/OLDERTHAN="))) {
        s.cmbDate.text = QStringLiteral("Older than");
        s.txtSelectedDate = checkedDate(*older, QStringLiteral("/OLDERTHAN="));
    } else if (const auto newer = line.value(QStringLiteral("/NEWERTHAN="))) {
        s.cmbDate.text = QStringLiteral("Newer than");
        s.txtSelectedDate = checkedDate(*newer, QStringLiteral("/NEWERTHAN="));
    } else if (const auto between = line.value(QStringLiteral("/BETWEEN="))) {
        const qsizetype comma = between->indexOf(QLatin1Char(','));
        if (comma < 0)
            throw CommandLineError(QStringLiteral("/BETWEEN= needs two dates separated by a comma."));
        s.cmbDate.text = QStringLiteral("Between");
        s.txtSelectedDate = checkedDate(between->left(comma), QStringLiteral("/BETWEEN="));
        s.txtEndDate = checkedDate(between->mid(comma + 1), QStringLiteral("/BETWEEN="));
    }
}

// /EXPORT= and /IMPORT= name files of their own: standard input and output
// are not theirs.
QString scanFile(const CommandLine& line, const QString& switchText) {
    const QString path = line.typedValue(switchText).value_or(QString());
    if (line.has(switchText) && (path.trimmed().isEmpty() || path == QLatin1String("-")))
        throw CommandLineError(QStringLiteral("%1 needs a file name.").arg(switchText));
    return path;
}

void applyOutputSwitches(const CommandLine& line, AppState& app) {
    if (const std::optional<QString> path = line.typedValue(QStringLiteral("/OUTFILE="))) {
        // Most often a script's variable that came out empty: writing to standard output instead would hide it.
        if (path->trimmed().isEmpty())
            throw CommandLineError(QStringLiteral("/OUTFILE= needs a file name (or - for standard output)."));
        app.outputFilePath = *path;
    }
    app.append = line.has(QStringLiteral("/APPEND"));
    app.headings = line.has(QStringLiteral("/HEADINGS"));
    app.keepHistory = !line.has(QStringLiteral("/NOHISTORY"));
    if (const std::optional<QString> earlier = line.typedValue(QStringLiteral("/COMPARE="))) {
        if (earlier->trimmed().isEmpty())
            throw CommandLineError(QStringLiteral("/COMPARE= needs LAST, a date or a run's number."));
        app.compareWith = earlier->trimmed();
    }
    app.exportFilePath = scanFile(line, QStringLiteral("/EXPORT="));
    app.importFilePath = scanFile(line, QStringLiteral("/IMPORT="));
}

void applyTree(const CommandLine& line, ReportEnv& env) {
    const std::optional<QString> tree = line.value(QStringLiteral("/T="));
    if (!tree)
        throw CommandLineError(QStringLiteral("You must specify a Tree"));
    if (!env.client.site().findTree(tree->trimmed())) {
        QStringList known;
        for (const TreeConfig& t : env.client.site().trees)
            known.append(t.name);
        throw CommandLineError(QStringLiteral("The tree %1 is not known to this workstation (known: %2).")
                                   .arg(*tree, NameLookup::listed(known)));
    }
    env.app.treeName = tree->trimmed();
}

// "Directory report of \\FS1\VOL1\USERS": a script's runs each say which
// report and place their outcome is of, so a cron mail can be read.
QString runLabel(const ReportEnv& env) {
    const SearchSettings& s = env.search;
    switch (s.tabSearch) {
    case ReportKind::Owner:
        return QStringLiteral("Owner report of \\\\%1\\%2").arg(s.cmbServer.text, s.cmbVolumeList.text);
    case ReportKind::Volume:
        return QStringLiteral("Volume report of %1").arg(s.lstSelectedVolumes.join(QStringLiteral(", ")));
    case ReportKind::Directory: return QStringLiteral("Directory report of %1").arg(s.lblDirectory);
    case ReportKind::File: return QStringLiteral("File report of %1").arg(s.lblDirectory);
    case ReportKind::Date: return QStringLiteral("Date report of %1").arg(s.lblDirectory);
    }
    return {};
}

int writeAll(CommandLineOutput& output, ReportEnv& env, Host& host) {
    if (const QString error = output.write(env, host); !error.isEmpty()) {
        host.message(QStringLiteral("Failed: ") + error);
        return 2;
    }
    if (output.stoppedWhileWriting()) {
        host.message(output.toStandardOutput()
                         ? QStringLiteral("Stopped while the results were written to standard output.")
                         : QStringLiteral("Stopped while the results were written; %1 is as it was.")
                               .arg(env.app.outputFilePath));
        return 3;
    }
    return 0;
}

// A stopped run keeps the rows it found beside the output file, which stays
// as the last complete run left it; a run that stopped before finding
// anything leaves everything as it was.
int keepWhatWasFound(CommandLineOutput& output, ReportEnv& env, Host& host) {
    if (env.grid.rows() <= 1) {
        output.abandon();
        return 3;
    }
    if (const QString error = output.writePartial(env, host); !error.isEmpty())
        host.message(error);
    else if (!output.toStandardOutput())
        host.message(QStringLiteral("The rows found before the run stopped are in %1; %2 is as it was.")
                         .arg(output.partialPath(), env.app.outputFilePath));
    return 3;
}

// A written run goes into the history; one that cannot is still written.
int recordRun(RunHistory& history, Host& host) {
    const QString failure = history.record();
    if (failure.isEmpty())
        return 0;
    host.message(QStringLiteral("Written, not recorded: %1.").arg(failure));
    return RunHistory::kNotRecorded;
}

} // namespace

OwnerListFillers OwnerListFillers::fromDirectory(ReportEnv& env) {
    // A list the directory cut short must not say "There is no user".
    const auto refuseFailed = [&env](bool listed) {
        if (!listed)
            throw CommandLineError(QStringLiteral("The directory of the tree cannot be read: %1.")
                                       .arg(env.client.directoryFailure()));
    };
    return {[&env, refuseFailed] { refuseFailed(subListUsers(env, env.search.lblStartContainer, env.search.cmbSelectedOwner)); },
            [&env, refuseFailed] { refuseFailed(subListGroups(env, env.search.lblStartContainer, env.search.cmbGroup)); }};
}

void subApplyServerSwitch(const CommandLine& line, ReportEnv& env) {
    const std::optional<QString> typed = line.value(QStringLiteral("/S="));
    if (!typed)
        throw CommandLineError(QStringLiteral("You must specify a Server"));
    const QString server = NameLookup(env).server(*typed);
    if (env.search.cmbServer.findUpper(server) < 0) {
        env.search.cmbServer.entries.append(server);
        env.search.cmbServers.entries.append(server);
    }
    env.search.cmbServer.text = server;
    env.search.cmbServers.text = server;
}

void subApplyVolumeSwitch(const CommandLine& line, ReportEnv& env) {
    const std::optional<QString> typed = line.value(QStringLiteral("/V="));
    if (!typed)
        throw CommandLineError(QStringLiteral("You must specify a Volume"));
    env.search.cmbVolumeList.showOrAdd(NameLookup(env).volume(env.search.cmbServer.text, *typed));
}

void subApplyDirectorySwitch(const CommandLine& line, ReportEnv& env) {
    // Typed, not upper-cased: below the volume, names are matched in the case given first.
    const std::optional<QString> typed = line.typedValue(QStringLiteral("/D="));
    if (!typed)
        throw CommandLineError(QStringLiteral("You must specify a Directory (/D=)."));
    const StartDirectory::Place start = StartDirectory::find(*typed, env);
    env.search.cmbServer.entries.append(start.server);
    env.search.cmbServers.entries.append(start.server);
    env.search.cmbServer.text = start.server;
    env.search.cmbServers.text = start.server;
    env.search.cmbVolumeList.showOrAdd(start.volume);
    env.search.lblDirectory = start.path;
}

void subApplySwitches(const CommandLine& line, ReportEnv& env, const OwnerListFillers& fillers) {
    SwitchRules::checkWords(line);
    applyTree(line, env);
    const ReportKind kind = reportKindOf(
        required(line, QStringLiteral("/F="), QStringLiteral("a Function")).trimmed());
    SwitchRules::checkForFunction(line, kind);
    env.search.tabSearch = kind;
    env.search.allocatedSizes = line.has(QStringLiteral("/ALLOCATED"));
    if (const QString problem = fcnDirectoryProblem(env); !problem.isEmpty())
        throw CommandLineError(problem);
    switch (kind) {
    case ReportKind::Owner: applyOwnerSwitches(line, env, fillers); break;
    case ReportKind::Volume: applyVolumeSwitches(line, env); break;
    case ReportKind::Directory:
        subApplyDirectorySwitch(line, env);
        env.search.subDirOption = line.has(QStringLiteral("/IMMSUBS")) ? SubDirOption::optImmediateSubDirs
                                                                       : SubDirOption::optAllSubDirs;
        break;
    case ReportKind::File:
        subApplyDirectorySwitch(line, env);
        applyFileSwitches(line, env);
        break;
    case ReportKind::Date:
        subApplyDirectorySwitch(line, env);
        applyDateSwitches(line, env);
        break;
    }
    applyOutputSwitches(line, env.app);
}

int subRunCommandLine(const QString& argumentString, ReportEnv& env, const OwnerListFillers& fillers, CliHost& host) {
    // The names are looked up before the run: Ctrl-C must end a wait on a
    // directory that hangs there too.
    env.run.cancel = false;
    env.client.setDirectoryWaitControl(&env.run.cancel, [&host] { host.pollEvents(); });
    try {
        subApplySwitches(CommandLine(argumentString), env, fillers);
    } catch (const CommandLineError& error) {
        env.client.setDirectoryWaitControl(nullptr, {});
        if (host.interrupted()) {
            host.message(QStringLiteral("Stopped before the report started; nothing was written."));
            return 3;
        }
        host.message(error.message());
        return 1;
    }
    env.client.setDirectoryWaitControl(nullptr, {});
    RunHistory history(env);
    if (const QString error = history.findComparison(); !error.isEmpty()) {
        host.message(error);
        return 1;
    }
    CommandLineOutput output({env.app.outputFilePath, env.app.append, env.app.headings, env.app.saveFileDelimiter});
    output.setLastCheck([&host] { host.checkStopNow(); });
    if (const QString error = output.open(); !error.isEmpty()) {
        host.message(error);
        return 2;
    }
    for (const QString& note : output.notes())
        host.message(note);
    if (host.interrupted()) { // stopped while the names were looked up
        host.message(QStringLiteral("Stopped before the report started; nothing was written."));
        return 3;
    }
    btnShowUsage_Click(env);
    const QString outcome = host.lastStatus();
    host.clearLine();
    if (const QString failure = fcnRunFailure(env); !failure.isEmpty() && !env.run.cancelled()) {
        // A shortened listing must not pass for the whole one.
        output.abandon();
        host.message(QStringLiteral("The report could not be completed: %1. Nothing was written.").arg(failure));
        return env.run.failureStatus;
    }
    if (!env.run.cancelled()) {
        history.startRecording(outcome);
        history.compare();
    }
    int status = env.run.cancelled() ? keepWhatWasFound(output, env, host) : writeAll(output, env, host);
    // The closing line says what happened: no "Process Complete." after a failed write.
    if (status == 2)
        return status;
    host.showFinal(outcome + QStringLiteral(" (%1)").arg(runLabel(env)));
    if (!env.view.lblGraphStats.isEmpty())
        host.showFinal(env.view.lblGraphStats);
    if (status == 0)
        status = recordRun(history, host);
    return status;
}
