#pragma once

#include <QDate>
#include <QList>
#include <QString>
#include <QStringList>

// Report kind: the index of the search tab and the value of /F=.
enum class ReportKind { Owner = 1, Volume = 2, Directory = 3, File = 4, Date = 5 };

// Option groups carry the names of their option buttons.
enum class OwnerOption { optAllOwners, optSelectOwner, optGroup };
enum class SubDirOption { None, optImmediateSubDirs, optAllSubDirs };
enum class FileOption { optFileType, optFileSize };
enum class DateOption { None, optCreationDate, optModifyDate, optAccessDate };

// A combo box as data: its entries and the text it shows.
struct ChoiceList {
    QStringList entries;
    QString text;
    QStringList details; // shown beside the entries of the same index (a user's full name); may be shorter

    // Index of the first entry that, upper-cased, equals value; -1 when none.
    qsizetype findUpper(const QString& value) const;
    // Shows value, adding it first when no entry matches it upper-cased.
    void showOrAdd(const QString& value);
    bool isEmpty() const { return entries.isEmpty(); }
};

struct ServerVolume {
    QString server;
    QString volume;
};

// The search panel as data. The window mirrors it; the command-line mode
// sets it exactly as a user's clicks would; the report run reads it.
struct SearchSettings {
    ReportKind tabSearch = ReportKind::Owner;

    // Server, volume and directory
    ChoiceList cmbServer;
    ChoiceList cmbServers; // Volume tab's server filter; "[All Servers]" first
    ChoiceList cmbVolumeList;
    QString lblDirectory; // start directory, \\SERVER\VOLUME\DIR...

    // Volume tab
    QStringList lstAvailableVolumes;
    QStringList lstSelectedVolumes; // volume paths \\SERVER\VOLUME
    QList<ServerVolume> grdServerVolumeList;

    // Owner tab
    OwnerOption ownerOption = OwnerOption::optAllOwners;
    bool chkSubContainers = true;
    ChoiceList cmbSelectedOwner;
    ChoiceList cmbGroup;
    QStringList lstGroupOfUsers;
    QString lblStartContainer;

    // Directory tab
    SubDirOption subDirOption = SubDirOption::optImmediateSubDirs;

    // Directory, File and Owner runs: sizes as the blocks taken (st_blocks x
    // 512, what du -sB1 counts) rather than the files' lengths.
    bool allocatedSizes = false;

    // File tab
    FileOption fileOption = FileOption::optFileType;
    QString txtFileType = QStringLiteral("*");
    ChoiceList cmbSizeLimit;
    QString txtSearchSize = QStringLiteral("0");

    // Date tab
    DateOption dateOption = DateOption::optCreationDate;
    ChoiceList cmbDate;
    QString txtSelectedDate;
    QString txtEndDate;

    // The panel as it opens: comparisons filled, dates today (in the short
    // date form of the cells).
    static SearchSettings withDefaults(const QString& today);

    // Whether "&Show Usage" may be pressed for the selected tab.
    bool subbtnShowUsageEnable() const;
};
