#pragma once

#include "settings/search_settings.h"

#include <QString>
#include <QStringList>

// One unattended run as the builder window composes it: the search panel's
// choices (server cmbServer, volume cmbVolumeList, starting container
// lblStartContainer, volumes lstSelectedVolumes, directory lblDirectory and
// each tab's options) with the tree and the output file. Any place that
// needs a command line builds it here, so every one reads alike.
struct CommandLineRun {
    QString tree;
    SearchSettings search;
    QString txtOutputFile;
    bool chkAppend = true;
    bool chkPrintHeading = false;

    // Each switch a word of its own ("/T=TREE", "/D=\\FS1\VOL1\DATA",
    // "/SIZE EQ 10"), in the order the command text holds them. Values are
    // written as typed, unchecked.
    QStringList switches() const;
    // The argument string: the switches joined by single blanks.
    QString text() const;

    // Whether "Create Batch File" may be pressed for the shown tab with
    // these file names; current is kept where the rule leaves it unchanged
    // (the Volume tab with no volumes listed).
    bool subBatchFileButtonEnable(const QString& txtBatchFile, bool current) const;
};
