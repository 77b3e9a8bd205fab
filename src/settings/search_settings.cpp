#include "settings/search_settings.h"


qsizetype ChoiceList::findUpper(const QString& value) const {
    for (qsizetype i = 0; i < entries.size(); ++i) {
        // Not toUpper(): "STRAßE" is not "STRASSE".
        if (entries[i].compare(value, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

void ChoiceList::showOrAdd(const QString& value) {
    if (findUpper(value) < 0)
        entries.append(value);
    text = value;
}

SearchSettings SearchSettings::withDefaults(const QString& today) {
    SearchSettings s;
    s.cmbSizeLimit.entries = {QStringLiteral("<"), QStringLiteral(">"), QStringLiteral("=")};
    s.cmbSizeLimit.text = QStringLiteral(">");
    s.cmbDate.entries = {QStringLiteral("Older than"), QStringLiteral("Newer than"),
                         QStringLiteral("Between")};
    s.cmbDate.text = QStringLiteral("Older than");
    s.txtSelectedDate = today;
    s.txtEndDate = s.txtSelectedDate;
    return s;
}

bool SearchSettings::subbtnShowUsageEnable() const {
    const bool noVolumes = cmbVolumeList.isEmpty();
    switch (tabSearch) {
    case ReportKind::Owner:
        return !(noVolumes || (ownerOption == OwnerOption::optGroup && cmbGroup.isEmpty()) ||
                 (ownerOption == OwnerOption::optSelectOwner && cmbSelectedOwner.isEmpty()));
    case ReportKind::Volume:
        return !lstSelectedVolumes.isEmpty();
    case ReportKind::Directory:
        return !noVolumes;
    case ReportKind::File:
        return !(noVolumes || (fileOption == FileOption::optFileType && txtFileType.isEmpty()) ||
                 (fileOption == FileOption::optFileSize && txtSearchSize.isEmpty()));
    case ReportKind::Date:
        return !(noVolumes || txtSelectedDate.isEmpty() ||
                 (cmbDate.text == QLatin1String("Between") && txtEndDate.isEmpty()));
    }
    return false;
}
