#pragma once

#include <QString>

// Program-wide state, owned by main and passed by reference.
struct AppState {
    QString treeName;                 // current tree
    QString serverSearchContainer;    // where the server list starts
    bool serverSearchSubContainers = true;
    QString ownerContext;             // container of the last user or group listing, dotted
    bool commandLineMode = false;
    bool debugMode = false;
    QString saveFileDelimiter = QStringLiteral(",");
    QString strBrowseCaller;
    bool blnLoggedIn = false;
    bool copyAllRows = false; // the last copy took all rows

    // Command-line output
    QString outputFilePath;  // empty or "-": results go to standard output
    bool append = false;
    bool headings = false;
    QString exportFilePath; // Directory runs: the tree walked, in ncdu's export format; empty: none
    QString importFilePath; // a scan in that format, read instead of a walk (or an Owner run's measure); empty: none

    // The history of runs: where it is kept (a file or a postgresql://
    // address), whether runs go in, how long they are kept, and which
    // earlier run a command line compares with (LAST, a date or a run's id).
    QString historyLocation;
    bool keepHistory = true;
    // The window shows sizes in B, KB, MB, GB or TB as they fit, not all in
    // MB; files, copies and the command line keep MB.
    bool fittingSizes = false;
    int historyKeepDays = 400;
    QString compareWith;
};
