#pragma once

#include "reports/result_grid.h"

#include <QString>

// What the grid's pop-up menu offers for the current selection, read from
// the heading row, and the columns its commands work on.
struct PopupEntries {
    bool userInformation = false;
    bool move = false;
    bool explore = false;
    bool deleteFiles = false;
    bool properties = false;
    bool separator = false; // the one before Properties
    QString moveCaption = QStringLiteral("Move Files");
    QString deleteCaption = QStringLiteral("Delete File");
    int directoryCol = ResultGrid::kNotFound; // the last "Directory" or "Volume" column
    int ownerCol = ResultGrid::kNotFound;
    int fileCol = ResultGrid::kNotFound;

    // The entries for the grid's selection (Row to RowSel).
    static PopupEntries of(const ResultGrid& grid);
};

// "Fullname: " and the owner's full name, or "Fullname: (Unavailable)".
QString fcnFullNameCaption(const QString& fullName);
