#include "app/command_line_mode.h"

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
        s.cmbGroup.showOrAdd(owner.mid(6));
    } else {
        s.ownerOption = OwnerOption::optSelectOwner;
        if (fillers.listUsers)
            fillers.listUsers();
        const qsizetype index = s.cmbSelectedOwner.findUpper(owner);
        // Reporting the first listed user instead would answer another question.
        if (index < 0)
            throw CommandLineError(QStringLiteral("There is no user %1 in %2.").arg(owner, s.lblStartContainer));
        s.cmbSelectedOwner.text = s.cmbSelectedOwner.entries[index];
    }
}

void applyOwnerSwitches(const CommandLine& line, ReportEnv& env, const OwnerListFillers& fillers) {
    if (line.has(QStringLiteral("/S=")))
        subApplyServerSwitch(line, env);
    else
        env.host.message(QStringLiteral("You must specify a Server"));
    if (line.has(QStringLiteral("/V=")))
        subApplyVolumeSwitch(line, env);
    else
        env.host.message(QStringLiteral("You must specify a Volume"));
    // Without /C= the whole tree, as the window starts with.
    env.search.lblStartContainer =
        line.value(QStringLiteral("/C=")).value_or(env.app.treeName + QStringLiteral("\\[Root]"));
    applyOwnerChoice(required(line, QStringLiteral("/OWNER="), QStringLiteral("an Owner")), env, fillers);
}

void applyVolumeSwitches(const CommandLine& line, ReportEnv& env) {
    const QString list = required(line, QStringLiteral("/V="), QStringLiteral("the volumes"));
    for (const QString& item : list.split(QLatin1Char(',')))
        env.search.lstSelectedVolumes.append(item);
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

void applyOutputSwitches(const CommandLine& line, AppState& app) {
    if (const std::optional<QString> path = line.typedValue(QStringLiteral("/OUTFILE=")))
        app.outputFilePath = *path;
    app.append = line.has(QStringLiteral("/APPEND"));
    app.headings = line.has(QStringLiteral("/HEADINGS"));
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
                                   .arg(*tree, known.join(QStringLiteral(", "))));
    }
    env.app.treeName = tree->trimmed();
}

} // namespace

void subApplyServerSwitch(const CommandLine& line, ReportEnv& env) {
    const QString server = line.value(QStringLiteral("/S=")).value_or(QString());
    if (env.search.cmbServer.findUpper(server) < 0) {
        env.search.cmbServer.entries.append(server);
        env.search.cmbServers.entries.append(server);
    }
    env.search.cmbServer.text = server;
    env.search.cmbServers.text = server;
}

void subApplyVolumeSwitch(const CommandLine& line, ReportEnv& env) {
    env.search.cmbVolumeList.showOrAdd(line.value(QStringLiteral("/V=")).value_or(QString()));
}

void subApplyDirectorySwitch(const CommandLine& line, ReportEnv& env) {
    const QString path = required(line, QStringLiteral("/D="), QStringLiteral("a Directory"));
    const qsizetype serverEnd = path.indexOf(QLatin1Char('\\'), 2);
    const qsizetype volumeEnd = serverEnd < 0 ? -1 : path.indexOf(QLatin1Char('\\'), serverEnd + 1);
    if (!path.startsWith(QLatin1String("\\\\")) || serverEnd <= 2 || volumeEnd <= serverEnd + 1)
        throw CommandLineError(QStringLiteral("/D= needs a directory path such as \\\\SERVER\\VOLUME\\DIRECTORY "
                                              "(\\\\SERVER\\VOLUME\\ for the whole volume), not \"%1\".")
                                   .arg(path));
    const QString server = path.mid(2, serverEnd - 2);
    env.search.cmbServer.entries.append(server);
    env.search.cmbServers.entries.append(server);
    env.search.cmbServer.text = server;
    env.search.cmbServers.text = server;
    env.search.cmbVolumeList.showOrAdd(path.mid(serverEnd + 1, volumeEnd - serverEnd - 1));
    env.search.lblDirectory = path;
}

void subApplySwitches(const CommandLine& line, ReportEnv& env, const OwnerListFillers& fillers) {
    applyTree(line, env);
    const ReportKind kind = reportKindOf(
        required(line, QStringLiteral("/F="), QStringLiteral("a Function")).trimmed());
    env.search.tabSearch = kind;
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

int subRunCommandLine(const QString& argumentString, ReportEnv& env, const OwnerListFillers& fillers) {
    try {
        subApplySwitches(CommandLine(argumentString), env, fillers);
    } catch (const CommandLineError& error) {
        env.host.message(error.message());
        return 1;
    }
    btnShowUsage_Click(env);
    if (!env.app.outputError.isEmpty()) {
        env.host.message(env.app.outputError);
        return 2;
    }
    return env.run.cancelled() ? 3 : 0;
}
