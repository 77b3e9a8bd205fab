#include "batch/command_line_run.h"

namespace {

QString ownerSwitch(const SearchSettings& s) {
    switch (s.ownerOption) {
    case OwnerOption::optAllOwners:
        return s.chkSubContainers ? QStringLiteral("/OWNER=ALL+SUB") : QStringLiteral("/OWNER=ALL-SUB");
    case OwnerOption::optSelectOwner:
        return QStringLiteral("/OWNER=") + s.cmbSelectedOwner.text;
    case OwnerOption::optGroup:
        return QStringLiteral("/OWNER=GROUP=") + s.cmbGroup.text;
    }
    return {};
}

// The comparison word of /SIZE; a comparison not in the list adds nothing.
QString sizeSwitch(const SearchSettings& s) {
    const QString& limit = s.cmbSizeLimit.text;
    const char* word = limit == QLatin1String(">") ? "GT" : limit == QLatin1String("<") ? "LT"
                       : limit == QLatin1String("=") ? "EQ" : nullptr;
    return word ? QStringLiteral("/SIZE %1 %2").arg(QLatin1String(word), s.txtSearchSize) : QString();
}

QString dateOptionSwitch(DateOption option) {
    switch (option) {
    case DateOption::optCreationDate: return QStringLiteral("/OPT=CREATE");
    case DateOption::optModifyDate: return QStringLiteral("/OPT=MODIFY");
    case DateOption::optAccessDate: return QStringLiteral("/OPT=ACCESS");
    case DateOption::None: break;
    }
    return {};
}

QString dateSwitch(const SearchSettings& s) {
    const QString& comparison = s.cmbDate.text;
    if (comparison == QLatin1String("Older than"))
        return QStringLiteral("/OLDERTHAN=") + s.txtSelectedDate;
    if (comparison == QLatin1String("Newer than"))
        return QStringLiteral("/NEWERTHAN=") + s.txtSelectedDate;
    if (comparison == QLatin1String("Between"))
        return QStringLiteral("/BETWEEN=") + s.txtSelectedDate + QLatin1Char(',') + s.txtEndDate;
    return {};
}

QStringList tabSwitches(const SearchSettings& s) {
    switch (s.tabSearch) {
    case ReportKind::Owner:
        return {QStringLiteral("/F=OWNER"), QStringLiteral("/S=") + s.cmbServer.text,
                QStringLiteral("/V=") + s.cmbVolumeList.text, QStringLiteral("/C=") + s.lblStartContainer,
                ownerSwitch(s)};
    case ReportKind::Volume:
        return {QStringLiteral("/F=VOLUME"), QStringLiteral("/V=") + s.lstSelectedVolumes.join(QLatin1Char(','))};
    case ReportKind::Directory:
        return {QStringLiteral("/F=DIRECTORY"), QStringLiteral("/D=") + s.lblDirectory,
                s.subDirOption == SubDirOption::optImmediateSubDirs ? QStringLiteral("/IMMSUBS")
                                                                    : QStringLiteral("/ALLSUBS")};
    case ReportKind::File:
        return {QStringLiteral("/F=FILE"), QStringLiteral("/D=") + s.lblDirectory,
                s.fileOption == FileOption::optFileType ? QStringLiteral("/PATTERN=") + s.txtFileType : sizeSwitch(s)};
    case ReportKind::Date:
        return {QStringLiteral("/F=DATE"), QStringLiteral("/D=") + s.lblDirectory, dateOptionSwitch(s.dateOption),
                dateSwitch(s)};
    }
    return {};
}

} // namespace

QStringList CommandLineRun::switches() const {
    QStringList words{QStringLiteral("/T=") + tree};
    words += tabSwitches(search);
    if (search.allocatedSizes && search.tabSearch != ReportKind::Volume && search.tabSearch != ReportKind::Date)
        words.append(QStringLiteral("/ALLOCATED"));
    if (chkPrintHeading)
        words.append(QStringLiteral("/HEADINGS"));
    words.append(QStringLiteral("/OUTFILE=") + txtOutputFile);
    if (chkAppend)
        words.append(QStringLiteral("/APPEND"));
    // Choices that add nothing leave no empty word behind.
    words.removeAll(QString());
    return words;
}

QString CommandLineRun::text() const {
    return switches().join(QLatin1Char(' '));
}

bool CommandLineRun::subBatchFileButtonEnable(const QString& txtBatchFile, bool current) const {
    const SearchSettings& s = search;
    if (txtOutputFile.isEmpty() || txtBatchFile.isEmpty())
        return false;
    const bool volume = !s.cmbVolumeList.text.isEmpty();
    switch (s.tabSearch) {
    case ReportKind::Owner:
        if (s.ownerOption == OwnerOption::optSelectOwner)
            return !s.cmbSelectedOwner.text.isEmpty() && !s.lblStartContainer.isEmpty() && volume;
        if (s.ownerOption == OwnerOption::optGroup)
            return !s.cmbGroup.text.isEmpty() && !s.lblStartContainer.isEmpty() && volume;
        return volume;
    case ReportKind::Volume:
        return s.lstSelectedVolumes.isEmpty() ? current : true;
    case ReportKind::Directory:
        return volume;
    case ReportKind::File:
        return (s.fileOption == FileOption::optFileType ? !s.txtFileType.isEmpty() : !s.txtSearchSize.isEmpty()) &&
               volume;
    case ReportKind::Date:
        return !s.txtSelectedDate.isEmpty() && volume &&
               (s.cmbDate.text != QLatin1String("Between") || !s.txtEndDate.isEmpty());
    }
    return current;
}
