#pragma once

#include <QString>

// The captions around the results grid that a run sets: the window shows
// them, a command-line run keeps them for its final message.
struct ResultsView {
    QString lblGraphStats;      // the totals line
    QString lblInfoLabel;       // "Volume", "Start Directory", "Volume List"
    QString lblInformation;
    QString lblInformationTip;
    QString btnShowUsageCaption = QStringLiteral("&Show Usage");
    QString btnShowFilesCaption = QStringLiteral("Show Files for Selected");
    bool btnShowFilesEnabled = false;
    bool btnRmvAllEnabled = false;
    bool controlsFrozen = false; // the window is disabled but for Stop
    bool sortToggle = false;     // set: the next header sort is ascending
};
